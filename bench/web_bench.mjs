// The page against the native programs, in Chromium, Firefox and WebKitGTK
// (ENGINES), driven as the browser tests drive them, everything on /dev/shm
// (TMPDIR there puts the browsers' profiles, where the page keeps its WAV
// files). Each case runs in alternating pairs (PAIRS), each run after a
// pause; the medians of wall time and of CPU time (user and system, over
// every process of the browser, or of the shell loop and its programs) and
// their ratios are printed, and for the loops the machine's own speed: the
// time a process and a MiB take. The cases (CASES):
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

// CPU seconds from /proc: a process's own, and what it has of its children
// that ended (fields 14-17 of its stat).
const ticks = Number(spawnSync('getconf', ['CLK_TCK'], { encoding: 'utf8' }).stdout) || 100;
function processTimes() {
    const times = new Map();
    for (const entry of fs.readdirSync('/proc').filter((name) => /^\d+$/.test(name))) {
        let stat;
        try {
            stat = fs.readFileSync(`/proc/${entry}/stat`, 'utf8');
        } catch {
            continue; // it ended meanwhile
        }
        // After the name in parentheses: state, parent, ..., utime, stime, cutime, cstime.
        const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ').map(Number);
        const [parent, own, children] = [fields[1], fields[11] + fields[12], fields[13] + fields[14]];
        times.set(Number(entry), { parent, own, children });
    }
    return times;
}

// The CPU seconds of this process's descendants (the browser and all its
// processes), and those of its own children that ended (the shell loops).
function cpuSeconds() {
    const times = processTimes();
    let descendants = 0;
    for (const time of times.values()) {
        for (let up = time.parent; up > 1 && times.has(up); up = times.get(up).parent) {
            if (up === process.pid) {
                descendants += time.own + time.children;
                break;
            }
        }
    }
    return { browser: descendants / ticks, loops: times.get(process.pid).children / ticks };
}

// Wall and CPU seconds of `run`, the CPU of the processes `whose` names.
async function measured(whose, run) {
    const before = cpuSeconds();
    const started = process.hrtime.bigint();
    await run();
    const wall = Number(process.hrtime.bigint() - started) / 1e9;
    return { wall, cpu: cpuSeconds()[whose] - before[whose] };
}

// blockrip over the files, as a shell loop does it or two at a time.
async function native(files, parallel) {
    const script = parallel ? 'printf "%s\\0" "$@" | xargs -0 -P2 -n1 "$0" >/dev/null'
        : 'for f in "$@"; do "$0" "$f" >/dev/null; done';
    const time = await measured('loops', () => {
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
    let statuses = [];
    const time = await measured('browser', async () => {
        await engine.upload('#files', files);
        statuses = await engine.evaluate((count) => new Promise((resolve) => {
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
    });
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
            theirs: () => native([stream()]), loop: { count: 1, mebibytes } },
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
                    loop: { count, mebibytes: (count * bytes) / (1 << 20) },
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
console.log('engine     case         ours s theirs s   ratio  ours cpu theirs cpu  ratio');
const cell = (value, width) => value.toFixed(2).padStart(width);
try {
    for (const name of engines) {
        const engine = await launch(name);
        await engine.open(`${server.url()}index.html`);
        await engine.evaluate(() => new Promise((resolve) => {
            const look = () => (document.documentElement.dataset.ready === 'true' ? resolve() : setTimeout(look, 20));
            look();
        }));
        for (const caseName of chosen) {
            const { ours, theirs, loop } = all[caseName];
            const figures = { wall: [], otherWall: [], ratio: [], cpu: [], otherCpu: [], cpuRatio: [] };
            for (let pair = 0; pair < pairs; ++pair) {
                const turns = pair % 2 === 0 ? [theirs, ours] : [ours, theirs];
                const times = new Map();
                for (const turn of turns) {
                    await settle();
                    times.set(turn, await turn(engine));
                }
                const [mine, base] = [times.get(ours), times.get(theirs)];
                figures.wall.push(mine.wall);
                figures.otherWall.push(base.wall);
                figures.ratio.push(mine.wall / base.wall);
                figures.cpu.push(mine.cpu);
                figures.otherCpu.push(base.cpu);
                figures.cpuRatio.push(mine.cpu / base.cpu);
            }
            const m = Object.fromEntries(Object.entries(figures).map(([key, values]) => [key, median(values)]));
            console.log(`${name.padEnd(10)} ${caseName.padEnd(11)}${cell(m.wall, 8)}${cell(m.otherWall, 9)}` +
                `${cell(m.ratio, 8)}${cell(m.cpu, 10)}${cell(m.otherCpu, 11)}${cell(m.cpuRatio, 7)}`);
            if (loop) {
                const each = (count) => (m.otherWall / count * 1000).toFixed(2);
                console.log(`${' '.repeat(23)}the loop: ${each(loop.count)} ms a process,` +
                    ` ${each(loop.mebibytes)} ms a MiB`);
            }
        }
        await engine.close();
    }
} finally {
    await server.stop();
    removeProfiles();
    fs.rmSync(work, { recursive: true, force: true });
}
