// The page against the native program: a raw stream of random valid blocks
// (256 MiB unless MEBIBYTES says otherwise), converted in alternating pairs
// by blockrip and by the page in Chromium, Firefox and WebKitGTK (ENGINES),
// driven as the browser tests drive them, everything on /dev/shm (TMPDIR
// there puts the browsers' profiles, where the page keeps its WAV files).
// Prints the medians, the ratios and the module's memory.
//   bench/web.sh [MiB] [pairs], which points it at the web build's
//   environment (web/tests/environment.mjs).
import { spawnSync } from 'node:child_process';
import { randomBytes } from 'node:crypto';
import fs from 'node:fs';
import path from 'node:path';
import { launch, removeProfiles } from '../web/tests/engines.mjs';
import { environment } from '../web/tests/environment.mjs';
import { siteServer } from '../web/tests/site_server.mjs';

const env = process.env;
const mebibytes = Number(env.MEBIBYTES ?? 256);
const pairs = Number(env.PAIRS ?? 5);
const work = fs.mkdtempSync('/dev/shm/rippers-web-bench-');

function makeInput() {
    const file = path.join(work, 'blocks.vb');
    const pattern = randomBytes(1 << 20);
    for (let i = 0; i < pattern.length; i += 16) {
        pattern[i] = (pattern[i] % 5) * 16 + (pattern[i] % 13); // filters 0-4, shifts 0-12
    }
    const descriptor = fs.openSync(file, 'w');
    for (let i = 0; i < mebibytes; ++i) {
        fs.writeSync(descriptor, pattern);
    }
    fs.closeSync(descriptor);
    return file;
}

function nativeSeconds(file) {
    const started = process.hrtime.bigint();
    const run = spawnSync(environment.BLOCKRIP, [file], { stdio: 'ignore' });
    const seconds = Number(process.hrtime.bigint() - started) / 1e9;
    if (run.status !== 0) {
        throw new Error(`blockrip: status ${run.status}`);
    }
    fs.rmSync(`${file}.wav`);
    return seconds;
}

async function pageSeconds(engine, file) {
    // Every run starts with nothing kept.
    await engine.evaluate(() => document.getElementById('clear').click());
    const started = process.hrtime.bigint();
    await engine.upload('#files', [file]);
    const row = await engine.evaluate(() => new Promise((resolve) => {
        const look = () => {
            const result = document.querySelector('.result');
            if (result?.dataset.status === undefined) {
                setTimeout(look, 20);
            } else {
                resolve({ status: result.dataset.status, memory: Number(result.dataset.memory) });
            }
        };
        look();
    }));
    const seconds = Number(process.hrtime.bigint() - started) / 1e9;
    if (row.status !== '0') {
        throw new Error(`the page: status ${row.status}`);
    }
    return { seconds, memory: row.memory };
}

// A browser goes on working for a moment after a conversion (it collects its
// garbage, keeps its storage); on two cores that slowed a blockrip run just
// after it by up to 2x. Each run starts after a pause.
const settle = () => new Promise((resolve) => setTimeout(resolve, 2000));

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

const file = makeInput();
const server = siteServer(environment.SITE_DIR);
await server.start();
const engines = (env.ENGINES ?? 'chromium,firefox,webkit').split(',');
console.log(`${mebibytes} MiB of random valid blocks, ${pairs} alternating pairs, on /dev/shm`);
console.log('engine      native s    page s   ratio   module memory');
try {
    for (const name of engines) {
        const engine = await launch(name);
        await engine.open(`${server.url()}index.html`);
        await engine.evaluate(() => new Promise((resolve) => {
            const look = () => (document.documentElement.dataset.ready === 'true' ? resolve() : setTimeout(look, 20));
            look();
        }));
        const native = [];
        const inPage = [];
        const ratios = [];
        const memories = new Set();
        for (let pair = 0; pair < pairs; ++pair) {
            const turns = pair % 2 === 0 ? ['native', 'page'] : ['page', 'native'];
            let own = 0;
            let theirs = 0;
            for (const turn of turns) {
                await settle();
                if (turn === 'native') {
                    theirs = nativeSeconds(file);
                } else {
                    const run = await pageSeconds(engine, file);
                    own = run.seconds;
                    memories.add(run.memory);
                }
            }
            native.push(theirs);
            inPage.push(own);
            ratios.push(own / theirs);
        }
        console.log(`${name.padEnd(10)} ${median(native).toFixed(2).padStart(9)} ${median(inPage).toFixed(2).padStart(9)}` +
            ` ${median(ratios).toFixed(2).padStart(7)}   ${[...memories].map((m) => `${m / 1048576} MiB`).join(', ')}`);
        await engine.close();
    }
} finally {
    await server.stop();
    removeProfiles();
    fs.rmSync(work, { recursive: true, force: true });
}
