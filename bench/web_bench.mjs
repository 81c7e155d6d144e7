// The page against the native programs, in Chromium, Firefox and WebKitGTK
// (ENGINES), driven as the browser tests drive them, everything on /dev/shm
// (TMPDIR there puts the browsers' profiles, where the page keeps its WAV
// files). Each case runs in alternating pairs (PAIRS), each run after a
// pause; the medians and their ratio are printed. The cases (CASES):
//   single       one raw stream of random valid blocks (MEBIBYTES, 256)
//                against blockrip
//   image        the same stream inside a Mode 2 disc image, against the
//                stream chosen loose on the page
//   xa           as many bytes of raw XA sectors (one stereo stream at
//                37,800 samples per second), against the stream, both on
//                the page
//   sorting      the stream sorted (the program on auto), against the
//                stream with blockrip chosen
//   8x64, 16x1, 3000x160b
//                batches of files of random valid blocks against a shell
//                loop running blockrip over them one after another, and
//                against xargs -P2 running two at once
//   bench/web.sh [cases] [pairs], which points it at the web build's
//   environment (web/tests/environment.mjs).
import { spawnSync } from 'node:child_process';
import { randomBytes } from 'node:crypto';
import fs from 'node:fs';
import path from 'node:path';
import { launch, removeProfiles } from '../web/tests/engines.mjs';
import { environment } from '../web/tests/environment.mjs';
import { siteServer } from '../web/tests/site_server.mjs';

const env = process.env;
const pairs = Number(env.PAIRS ?? 5);
const work = fs.mkdtempSync('/dev/shm/rippers-web-bench-');

// Random valid blocks: filters 0-4, shifts 0-12, flags 0-7.
function blocks(bytes) {
    const pattern = randomBytes(bytes);
    for (let i = 0; i < pattern.length; i += 16) {
        pattern[i] = (pattern[i] % 5) * 16 + (pattern[i] % 13);
        pattern[i + 1] &= 7;
    }
    return pattern;
}

function blocksFile(file, bytes) {
    const piece = blocks(Math.min(bytes, 1 << 20));
    const descriptor = fs.openSync(file, 'w');
    for (let written = 0; written < bytes; written += piece.length) {
        fs.writeSync(descriptor, piece, 0, Math.min(piece.length, bytes - written));
    }
    fs.closeSync(descriptor);
    return file;
}

function batch(name, count, bytes) {
    const folder = path.join(work, name);
    fs.mkdirSync(folder);
    return Array.from({ length: count }, (_, i) => blocksFile(path.join(folder, `${String(i).padStart(4, '0')}.vb`),
        bytes));
}

function seconds(run) {
    const started = process.hrtime.bigint();
    run();
    return Number(process.hrtime.bigint() - started) / 1e9;
}

// blockrip over the files, as a shell loop does it or two at a time.
function native(files, parallel) {
    const script = parallel ? 'printf "%s\\0" "$@" | xargs -0 -P2 -n1 "$0" >/dev/null'
        : 'for f in "$@"; do "$0" "$f" >/dev/null; done';
    const time = seconds(() => {
        const run = spawnSync('bash', ['-c', script, environment.BLOCKRIP, ...files], { stdio: 'ignore' });
        if (run.status !== 0) {
            throw new Error(`blockrip: status ${run.status}`);
        }
    });
    for (const file of files) {
        fs.rmSync(`${file}.wav`, { force: true });
    }
    return time;
}

// The page over the files: from choosing them to every row's end.
async function page(engine, files, rows = files.length, program = 'auto') {
    await engine.evaluate((chosen) => {
        document.getElementById('clear').click();
        document.getElementById('program').value = chosen;
    }, program);
    const started = process.hrtime.bigint();
    await engine.upload('#files', files);
    const statuses = await engine.evaluate((count) => new Promise((resolve) => {
        const look = () => {
            const ended = document.querySelectorAll('.result[data-status]');
            if (ended.length < count) {
                setTimeout(look, 20);
                return;
            }
            resolve([...new Set([...ended].map((row) => row.dataset.status))]);
        };
        look();
    }), rows);
    const time = Number(process.hrtime.bigint() - started) / 1e9;
    if (statuses.join() !== '0') {
        throw new Error(`the page ended rows with ${statuses.join(', ')}`);
    }
    return time;
}

// A browser goes on working for a moment after a conversion (it collects its
// garbage, keeps its storage); on two cores that slowed a blockrip run just
// after it by up to 2x. Each run starts after a pause.
const settle = () => new Promise((resolve) => setTimeout(resolve, 2000));
const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

// Each case: what it is, and its two sides, each timed in turn.
function cases() {
    const mebibytes = Number(env.MEBIBYTES ?? 256);
    const made = {};
    const once = (name, make) => () => (made[name] ??= make());
    const stream = once('stream', () => blocksFile(path.join(work, 'blocks.vb'), mebibytes << 20));
    const image = once('image', () => {
        fs.mkdirSync(path.join(work, 'DISC'));
        fs.copyFileSync(stream(), path.join(work, 'DISC', 'BLOCKS.VB'));
        const run = spawnSync(environment.MAKE_DISC_IMAGE, ['DISC', 'Disc'], { cwd: work });
        if (run.status !== 0) {
            throw new Error('make_disc_image failed');
        }
        return path.join(work, 'Disc.bin');
    });
    // The first sector of the bundled XA sample, a stereo one, over and over.
    const xa = once('xa', () => {
        const sector = fs.readFileSync(path.join(environment.SAMPLES_DIR, 'VOICES.XA')).subarray(0, 2352);
        const file = path.join(work, 'MUSIC.XA');
        const descriptor = fs.openSync(file, 'w');
        const piece = Buffer.concat(Array(256).fill(sector));
        for (let written = 0; written + piece.length <= mebibytes << 20; written += piece.length) {
            fs.writeSync(descriptor, piece);
        }
        fs.closeSync(descriptor);
        return file;
    });
    const batches = { '8x64': [8, 64 << 20], '16x1': [16, 1 << 20], '3000x160b': [3000, 160] };
    return {
        single: { what: `${mebibytes} MiB of blocks`, ours: (engine) => page(engine, [stream()]),
            theirs: () => native([stream()]) },
        image: {
            what: `${mebibytes} MiB of blocks in a Mode 2 image, against them loose on the page`,
            ours: (engine) => page(engine, [image()], 1),
            theirs: async (engine) => page(engine, [stream()]),
        },
        xa: {
            what: `${mebibytes} MiB of XA sectors, against as many of blocks, both on the page`,
            ours: (engine) => page(engine, [xa()]),
            theirs: (engine) => page(engine, [stream()]),
        },
        sorting: {
            what: `${mebibytes} MiB of blocks sorted, against them with blockrip chosen`,
            ours: (engine) => page(engine, [stream()]),
            theirs: (engine) => page(engine, [stream()], 1, 'blockrip'),
        },
        ...Object.fromEntries(Object.entries(batches).flatMap(([name, [count, bytes]]) => {
            const files = once(name, () => batch(name, count, bytes));
            return [
                [name, {
                    what: `${count} files of ${bytes} bytes, against a loop`,
                    ours: (engine) => page(engine, files()), theirs: () => native(files()),
                }],
                [`${name}-P2`, { what: `${count} files of ${bytes} bytes, against xargs -P2`,
                    ours: (engine) => page(engine, files()), theirs: () => native(files(), true) }],
            ];
        })),
    };
}

const server = siteServer(environment.SITE_DIR);
await server.start();
const engines = (env.ENGINES ?? 'chromium,firefox,webkit').split(',');
const chosen = (env.CASES ?? 'single').split(',');
const all = cases();
console.log(`${pairs} alternating pairs each, on /dev/shm`);
console.log('engine     case         ours s  theirs s   ratio');
try {
    for (const name of engines) {
        const engine = await launch(name);
        await engine.open(`${server.url()}index.html`);
        await engine.evaluate(() => new Promise((resolve) => {
            const look = () => (document.documentElement.dataset.ready === 'true' ? resolve() : setTimeout(look, 20));
            look();
        }));
        for (const caseName of chosen) {
            const { ours, theirs } = all[caseName];
            const own = [];
            const other = [];
            const ratios = [];
            for (let pair = 0; pair < pairs; ++pair) {
                const turns = pair % 2 === 0 ? [theirs, ours] : [ours, theirs];
                const times = new Map();
                for (const turn of turns) {
                    await settle();
                    times.set(turn, await turn(engine));
                }
                own.push(times.get(ours));
                other.push(times.get(theirs));
                ratios.push(times.get(ours) / times.get(theirs));
            }
            const [pageTime, loopTime] = [own, other].map((times, i) => median(times).toFixed(2).padStart(7 + 2 * i));
            console.log(`${name.padEnd(10)} ${caseName.padEnd(11)} ${pageTime} ${loopTime}` +
                ` ${median(ratios).toFixed(2).padStart(7)}`);
        }
        await engine.close();
    }
} finally {
    await server.stop();
    removeProfiles();
    fs.rmSync(work, { recursive: true, force: true });
}
