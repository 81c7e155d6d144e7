// The page in a real browser engine (ENGINE: chromium, firefox or webkit),
// served from 127.0.0.1: one table of cases, each compared with the native
// programs where they overlap. Run by node's test runner, once per engine;
// each case starts from an empty list and can run alone
// (--test-name-pattern).
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { randomBytes } from 'node:crypto';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { after, before, beforeEach, test } from 'node:test';
import { launch, removeProfiles } from './engines.mjs';
import { environment as env } from './environment.mjs';
import { siteServer } from './site_server.mjs';

const engineName = process.env.ENGINE;
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'rippers-web-'));
const programs = { cinerip: env.CINERIP, blockrip: env.BLOCKRIP };
const sample = (name) => path.join(env.SAMPLES_DIR, name);

// A copy of the site with some of its files changed.
function siteCopy(name, changes) {
    const copy = path.join(work, name);
    fs.cpSync(env.SITE_DIR, copy, { recursive: true });
    for (const [file, change] of Object.entries(changes)) {
        fs.writeFileSync(path.join(copy, file), change(fs.readFileSync(path.join(copy, file))));
    }
    return copy;
}

function convertNatively(program, name, bytes, rateSwitch = false) {
    const folder = fs.mkdtempSync(path.join(work, 'native-'));
    fs.writeFileSync(path.join(folder, name), bytes);
    const typed = name.startsWith('-') ? `./${name}` : name;
    const run = spawnSync(programs[program], rateSwitch ? [program === 'cinerip' ? '-11' : '-22', typed] : [typed],
        { cwd: folder, maxBuffer: 1 << 30 });
    const wav = fs.readFileSync(path.join(folder, `${name}.wav`));
    return { output: run.stdout.toString('utf8'), status: run.status, wav };
}

function writeFile(name, bytes) {
    const file = path.join(work, name);
    fs.writeFileSync(file, bytes);
    return file;
}

// Random valid blocks (filters 0-4, shifts 0-12, flags 0-7).
function validBlocks(bytes) {
    const pattern = randomBytes(bytes);
    for (let i = 0; i < pattern.length; i += 16) {
        pattern[i] = (pattern[i] % 5) * 16 + (pattern[i] % 13);
        pattern[i + 1] &= 7;
    }
    return pattern;
}

function blocksFile(name, mebibytes) {
    const file = path.join(work, name);
    const pattern = validBlocks(1 << 20);
    const descriptor = fs.openSync(file, 'w');
    for (let i = 0; i < mebibytes; ++i) {
        fs.writeSync(descriptor, pattern);
    }
    fs.closeSync(descriptor);
    return file;
}

// In the page: waits until `count` rows have ended, then describes each row,
// with its WAV file in base64 where it is small.
function endedRows(count) {
    return new Promise((resolve) => {
        const look = async () => {
            const rows = [...document.querySelectorAll('.result')];
            if (rows.length < count || rows.some((row) => row.dataset.status === undefined)) {
                setTimeout(look, 50);
                return;
            }
            resolve(await Promise.all(rows.map(async (row) => {
                const link = row.querySelector('a.download');
                const wav = link ? await (await fetch(link.href)).blob() : null;
                return {
                    path: row.dataset.path,
                    name: row.dataset.name,
                    status: row.dataset.status,
                    memory: Number(row.dataset.memory),
                    output: row.querySelector('pre.console').textContent,
                    program: row.querySelector('.program').textContent,
                    meaning: row.querySelector('.meaning').textContent,
                    download: link?.getAttribute('download') ?? null,
                    audio: row.querySelector('audio') !== null,
                    wavSize: wav?.size ?? null,
                    wav: wav === null || wav.size > (16 << 20) ? null : await window.base64Of(wav),
                };
            })));
        };
        look();
    });
}

function pageSettings(program, rateSwitch) {
    document.getElementById('program').value = program;
    document.getElementById('rate-switch').checked = rateSwitch;
}


// Stored ZIP entries, read by their central directory.
function unzip(archive) {
    const end = archive.lastIndexOf(Buffer.from([0x50, 0x4b, 0x05, 0x06]));
    const entries = new Map();
    let at = archive.readUInt32LE(end + 16);
    for (let i = 0; i < archive.readUInt16LE(end + 10); ++i) {
        const method = archive.readUInt16LE(at + 10);
        const size = archive.readUInt32LE(at + 20);
        const nameLength = archive.readUInt16LE(at + 28);
        const name = archive.toString('utf8', at + 46, at + 46 + nameLength);
        const local = archive.readUInt32LE(at + 42);
        const data = local + 30 + archive.readUInt16LE(local + 26) + archive.readUInt16LE(local + 28);
        entries.set(name, { method, bytes: archive.subarray(data, data + size) });
        at += 46 + nameLength + archive.readUInt16LE(at + 30) + archive.readUInt16LE(at + 32);
    }
    return entries;
}

// Put into the page for the cases: a Blob's bytes in base64, and a wait
// until a condition holds.
const helpers = `window.base64Of = async (blob) => {
    const bytes = new Uint8Array(await blob.arrayBuffer());
    let text = '';
    for (let at = 0; at < bytes.length; at += 0x8000) {
        text += String.fromCharCode(...bytes.subarray(at, at + 0x8000));
    }
    return btoa(text);
};
window.until = (condition) => new Promise((resolve) => {
    const look = () => (condition() ? resolve() : setTimeout(look, 20));
    look();
});`;

// Opens (or reloads) the page and waits until it is ready.
async function openPage(url) {
    await (url === undefined ? engine.reload() : engine.open(url));
    await engine.inject(helpers);
    await engine.evaluate(() => window.until(() => document.documentElement.dataset.ready === 'true'));
}

let engine;
let server;
const site = () => server.url();

// Chooses files through an input with the given settings, and waits for all
// the rows there are then to end: one a file, or `rows` more.
async function choose(files, { program = 'auto', rateSwitch = false, input = '#files', whileRunning, rows } = {}) {
    await engine.evaluate(pageSettings, program, rateSwitch);
    const rowsBefore = await engine.evaluate(() => document.querySelectorAll('.result').length);
    await engine.upload(input, files);
    await whileRunning?.();
    return (await engine.evaluate(endedRows, rowsBefore + (rows ?? files.length)))
        .map((row) => ({ ...row, wav: row.wav === null ? null : Buffer.from(row.wav, 'base64') }));
}

// In the page: "Download all", and the ZIP it offers.
async function downloadAll() {
    document.getElementById('download-all').click();
    const link = document.getElementById('download-zip');
    await window.until(() => !link.hidden);
    return { name: link.download, href: link.href,
        bytes: await window.base64Of(await (await fetch(link.href)).blob()) };
}

const clearList = () => engine.evaluate(() => document.getElementById('clear').click());

// The page as each case finds it: the site served as built, and open with an
// empty list.
async function freshPage() {
    const here = await engine.evaluate(() => window.location.href);
    if (server.folder !== env.SITE_DIR || server.http?.listening !== true || !here.startsWith(site())) {
        await server.stop().catch(() => {});
        server.folder = env.SITE_DIR;
        await server.start(server.port);
        await openPage(site());
    }
    await clearList();
}

function assertSameAsNative(row, native) {
    assert.equal(row.output, native.output, row.path);
    assert.equal(row.status, String(native.status), row.path);
    assert.ok(row.wav.equals(native.wav), `${row.path}: the WAV bytes differ`);
    assert.equal(row.download, `${row.name}.wav`);
    assert.ok(row.audio);
    assert.ok(row.memory > 0 && row.memory <= 64 << 20, `memory ${row.memory}`);
}

before(async () => {
    server = siteServer(env.SITE_DIR);
    await server.start();
    engine = await launch(engineName);
    await openPage(site());
});

beforeEach(freshPage);

after(async () => {
    await engine?.close();
    await server?.stop();
    removeProfiles();
    fs.rmSync(work, { recursive: true, force: true });
});

const block = (header) => Buffer.concat([Buffer.from([header, 0]), randomBytes(14)]);
function chunk(tag, size, payload) {
    const head = Buffer.alloc(8);
    head.write(tag, 'latin1');
    head.writeUInt32BE(size, 4);
    return Buffer.concat([head, payload]);
}
const broken = Buffer.concat([chunk('Vi10', 16, Buffer.alloc(8, 0x55)),
    chunk('Ad10', 8 + 16 * 10, Buffer.concat([block(0x2c), block(0x5c), block(0xf3)]))]);
const noise = Buffer.concat([validBlocks(16 * 50), randomBytes(7)]);

// The WAV files that the project's own reader makes of a sound format's
// file (and a bank's body), by name.
function readNatively(kind, ...files) {
    const folder = fs.mkdtempSync(path.join(work, 'native-'));
    const ran = spawnSync(env.READ_SOUND_FILE, [kind, ...files, folder]);
    assert.equal(ran.status, 0, String(ran.stderr));
    return new Map(fs.readdirSync(folder).map((name) => [name, fs.readFileSync(path.join(folder, name))]));
}

function assertSameWav(row, native) {
    assert.equal(row.status, '0', `${row.path}: ${row.meaning}`);
    assert.ok(native !== undefined, `${row.path}: no such output natively`);
    assert.ok(row.wav.equals(native), `${row.path}: the WAV bytes differ`);
    assert.equal(row.download, `${row.name}.wav`);
}

const onlyIn = (...engines) => (engines.includes(engineName) ? false : `runs in ${engines.join(' and ')} only`);

const cases = [
    ['converts each file exactly as the programs do, in path order', {}, async () => {
        const files = [sample('fanfare.str'), sample('chord.vb'), writeFile('broken.str', broken),
            writeFile('-noise.bin', noise)];
        const rows = await choose(files);
        const collator = new Intl.Collator(undefined, { numeric: true });
        assert.deepEqual(rows.map((row) => row.path), rows.map((row) => row.path).sort(collator.compare));
        const byName = Object.fromEntries(rows.map((row) => [row.name, row]));
        assert.match(byName['fanfare.str'].program, /^cinerip \(detected\): mono, 22050 samples per second$/);
        assert.match(byName['chord.vb'].program, /^blockrip \(detected\): mono, 11025/);
        assert.match(byName['broken.str'].output,
            /filterid = 15,\r\nWARNING: file ends inside an audio chunk\r\nDONE!\r\n$/);
        for (const [name, program] of [['fanfare.str', 'cinerip'], ['chord.vb', 'blockrip'], ['broken.str', 'cinerip'],
            ['-noise.bin', 'blockrip']]) {
            assertSameAsNative(byName[name], convertNatively(program, name,
                fs.readFileSync(files.find((f) => f.endsWith(name)))));
        }
        const [switched] = (await choose([sample('fanfare.str')], { rateSwitch: true }))
            .filter((row) => row.name === 'fanfare.str' && row.wav.readUInt32LE(24) === 11025);
        assert.match(switched.program, /^cinerip \(detected\): mono, 11025/);
        assertSameAsNative(switched, convertNatively('cinerip', 'fanfare.str', fs.readFileSync(sample('fanfare.str')),
            true));
    }],

    ['downloads every kept WAV file in one stored ZIP, and none once the list is cleared', {}, async () => {
        await choose([sample('fanfare.str'), sample('chord.vb')]);
        const rows = await choose([sample('fanfare.str')], { rateSwitch: true });
        const zip = await engine.evaluate(downloadAll);
        assert.equal(zip.name, 'wav-files.zip');
        assert.match(zip.href, /^blob:/);
        const entries = unzip(Buffer.from(zip.bytes, 'base64'));
        assert.deepEqual([...entries.keys()].sort(), ['chord.vb.wav', 'fanfare.str (2).wav', 'fanfare.str.wav']);
        for (const [name, entry] of entries) {
            assert.equal(entry.method, 0, `${name} is stored`);
            assert.ok(rows.some((row) => row.wav.equals(entry.bytes)), `${name} holds a row's WAV file`);
        }
        // Cleared while the ZIP is made: no link comes back for the empty list.
        const after = await engine.evaluate(async () => {
            const link = document.getElementById('download-zip');
            const notice = document.getElementById('notice');
            document.getElementById('download-all').click();
            document.getElementById('clear').click();
            await window.until(() => /ZIP (was not kept|of \d+ WAV files is ready)/.test(notice.textContent));
            return { hidden: link.hidden, notice: notice.textContent };
        });
        assert.deepEqual(after, { hidden: true,
            notice: 'The ZIP was not kept: the list was cleared while it was made.' });
    }],

    ['a file that cannot be read fails alone, and the batch goes on', {}, async () => {
        // As many large files as run at once, so that the others wait while
        // two of them go away.
        const atOnce = await engine.evaluate(() => Math.min(navigator.hardwareConcurrency, 16));
        const large = Array.from({ length: atOnce }, (_, i) => blocksFile(`a-large-${i}.vb`, 64));
        const files = { gone: writeFile('b-gone.str', broken), goneChosen: writeFile('c-gone.vb', noise),
            after: writeFile('d-after.vb', noise) };
        const rows = await choose([...large, files.gone, files.after], {
            rows: atOnce + 3,
            whileRunning: async () => {
                await engine.evaluate(pageSettings, 'blockrip', false);
                await engine.upload('#files', [files.goneChosen]);
                fs.rmSync(files.gone);
                fs.rmSync(files.goneChosen);
            },
        });
        const [gone, goneChosen, afterwards] = rows.slice(atOnce);
        assert.ok(rows.slice(0, atOnce).every((row) => row.status === '0'));
        assert.equal(gone.status, 'failed');
        assert.match(gone.meaning, /cannot be read/);
        assert.equal(goneChosen.status, '4', 'a read that fails inside the run is the program\'s own outcome');
        assert.match(goneChosen.output, /ERROR: Cannot read file c-gone\.vb\r\n$/);
        assert.equal(afterwards.status, '0');
        const counts = await engine.evaluate(() => Object.fromEntries(
            [...document.querySelectorAll('[data-count]')].map((count) => [count.dataset.count,
                Number(count.textContent)])));
        assert.deepEqual(counts, { done: atOnce + 1, other: 1, failed: 1, skipped: 0, cancelled: 0, waiting: 0 });
    }],

    ['a writer that cannot start costs a conversion at once, one that stops fails its file alone', {}, async () => {
        // The next writer the page starts is this script instead.
        const replaceNextWriter = (script) => engine.evaluate((text) => {
            const Started = window.Worker;
            window.Worker = class extends Started {
                constructor(url, options) {
                    const replaced = options?.name === 'writer';
                    super(replaced ? URL.createObjectURL(new Blob([text], { type: 'text/javascript' })) : url, options);
                    if (replaced) {
                        window.Worker = Started;
                    }
                }
            };
        }, script);
        const files = [writeFile('a-first.vb', noise), writeFile('b-next.vb', noise)];
        await replaceNextWriter('throw new Error("stopped");');
        assert.deepEqual((await choose(files, { program: 'blockrip' })).map((row) => row.status), ['0', '0']);
        await clearList();
        await replaceNextWriter(`postMessage({ type: 'ready' });
            onmessage = ({ data }) => { if (data.type !== 'open') throw new Error('stopped'); postMessage(
                { ok: true }); };`);
        const rows = await choose(files, { program: 'blockrip' });
        assert.deepEqual(rows.map((row) => row.status).sort(), ['0', 'failed']);
        assert.match(rows.find((row) => row.status === 'failed').meaning,
            /The conversion failed in the browser: .*stopped/);
    }],

    ['converts several files at once, each as the programs do', {}, async () => {
        await engine.evaluate(() => {
            window.mostAtOnce = 0;
            new MutationObserver(() => {
                const converting = [...document.querySelectorAll('.result .state')].filter((state) =>
                    state.textContent === 'Converting...');
                window.mostAtOnce = Math.max(window.mostAtOnce, converting.length);
            }).observe(document.getElementById('results'), { subtree: true, childList: true, characterData: true });
        });
        const files = Array.from({ length: 6 }, (_, i) => writeFile(`part${i}.vb`, validBlocks(2 << 20)));
        const rows = await choose(files);
        for (const row of rows) {
            assertSameAsNative(row, convertNatively('blockrip', row.name, fs.readFileSync(path.join(work, row.name))));
        }
        const { mostAtOnce, cores } = await engine.evaluate(() => ({ mostAtOnce: window.mostAtOnce,
            cores: navigator.hardwareConcurrency }));
        assert.equal(mostAtOnce, Math.min(cores, 16));
    }],

    ['cancels one file, then all while several run, and clears the list', {}, async () => {
        const large = blocksFile('large.vb', 64);
        const rows = await choose([large, large, large, large], {
            program: 'blockrip',
            whileRunning: () => engine.evaluate(async () => {
                const converting = () => [...document.querySelectorAll('.result')]
                    .filter((row) => row.querySelector('.state').textContent === 'Converting...' &&
                        row.querySelector('pre.console').textContent.includes('Decompressing'));
                await window.until(() => converting().length >= Math.min(2, navigator.hardwareConcurrency));
                converting()[0].querySelector('button.cancel').click();
                document.getElementById('cancel-all').click();
            }),
        });
        assert.deepEqual(rows.map((row) => row.status), ['cancelled', 'cancelled', 'cancelled', 'cancelled']);
        assert.ok(rows.every((row) => row.download === null));
        await clearList();
        assert.equal(await engine.evaluate(() => document.querySelectorAll('.result').length), 0);
    }],

    ['reads dropped folders to their last entry', {}, async () => {
        const paths = await engine.evaluate(async () => {
            const { entryFiles } = await import('./page/files.js');
            const file = (name, fullPath) => ({
                isFile: true, fullPath, file: (resolve) => resolve(new File(['x'], name)),
            });
            const folder = (fullPath, children) => ({
                isFile: false,
                fullPath,
                createReader() {
                    let at = 0;
                    return { readEntries: (resolve) => setTimeout(() => resolve(children.slice(at, at += 100))) };
                },
            });
            const many = Array.from({ length: 250 }, (_, i) => file(`${i}.vb`, `/DISC/${i}.vb`));
            const xa = folder('/DISC/XA', [file('A.STR', '/DISC/XA/A.STR')]);
            const found = await entryFiles(folder('/DISC', [...many, xa]));
            return found.map((entry) => entry.path);
        });
        assert.equal(paths.length, 251);
        assert.equal(paths.at(-1), 'DISC/XA/A.STR');
    }],

    ['splits each sound format\'s file into its WAV files, each at its own rate', {}, async () => {
        const copy = (name, as, change = () => {}) => {
            const bytes = fs.readFileSync(sample(name));
            change(bytes);
            return writeFile(as, bytes);
        };
        const chosen = [sample('VOICES.XA'), sample('JINGLE.VAG'), copy('KIT.VH', 'kit.vh'), copy('KIT.VB', 'Kit.VB'),
            sample('DRUMS.VAB'), copy('JINGLE.VAG', 'ODD.VAG', (bytes) => bytes.writeUInt32BE(0, 16)),
            copy('KIT.VH', 'ALONE.VH')];
        const rows = await choose(chosen, { rows: 3 + 1 + 3 + 1 + 1 + 1 });
        const byPath = Object.fromEntries(rows.map((row) => [row.path, row]));
        const native = new Map([...readNatively('xa', sample('VOICES.XA')),
            ...readNatively('vag', sample('JINGLE.VAG')), ...readNatively('vag', path.join(work, 'ODD.VAG')),
            ...readNatively('bank', path.join(work, 'kit.vh'), path.join(work, 'Kit.VB')),
            ...readNatively('bank', sample('DRUMS.VAB'))]);
        const table = [
            ['VOICES.XA.f1c01', /^XA \(detected\): stereo, 37800 samples per second$/],
            ['VOICES.XA.f1c03-1', /^XA \(detected\): mono, 18900 samples per second$/],
            ['VOICES.XA.f1c03-2', /^XA \(detected\): mono, 18900 samples per second$/],
            ['JINGLE.VAG', /^VAG \(detected\): mono, 44100 samples per second; named JINGLE$/],
            ['ODD.VAG', /^VAG \(detected\): mono, 22050 .*; named JINGLE; its header's rate \(0\) cannot be right$/],
            ['kit.vh.s001', /^sound bank \(detected\): mono, 44100 samples per second$/],
            ['kit.vh.s002', /^sound bank \(detected\): mono, 88200 samples per second$/],
            ['kit.vh.s003', /^sound bank \(detected\): mono, 44100 samples per second$/],
            ['DRUMS.VAB', /^sound bank \(detected\): mono, 21422 samples per second$/],
        ];
        assert.deepEqual(rows.map((row) => row.path).sort(), [...table.map(([name]) => name), 'ALONE.VH'].sort());
        for (const [name, program] of table) {
            assertSameWav(byPath[name], native.get(`${name}.wav`));
            assert.match(byPath[name].program, program);
        }
        assert.equal(byPath['ALONE.VH'].meaning, 'Not converted: a sound bank\'s header without its body (.VB).');
        // The loop of the VAG file is kept for players and samplers.
        assert.ok(byPath['JINGLE.VAG'].wav.includes(Buffer.from('smpl')));
        const zip = unzip(Buffer.from((await engine.evaluate(downloadAll)).bytes, 'base64'));
        assert.deepEqual([...zip.keys()].sort(), table.map(([name]) => `${name}.wav`).sort());
    }],

    ['reads disc images and converts only their sound', {}, async () => {
        // A disc as the project's tool makes it from a folder: as one .bin,
        // as one .bin a track, and as an .iso, which keeps no XA sound.
        const sources = {
            'MOVIES/INTRO.STR': fs.readFileSync(sample('fanfare.str')),
            'SOUND/CHORD.VB': fs.readFileSync(sample('chord.vb')),
            'SYSTEM.CNF': Buffer.from('BOOT = cdrom:\\SLUS_000.00;1\r\n'),
            DUMMY: Buffer.alloc(0),
            'SOUND/VOICES.XA': fs.readFileSync(sample('VOICES.XA')),
            'SOUND/KIT.VH': fs.readFileSync(sample('KIT.VH')),
            'SOUND/KIT.VB': fs.readFileSync(sample('KIT.VB')),
        };
        for (const disc of ['GAME', 'PLAIN']) {
            for (const [name, bytes] of Object.entries(sources)) {
                fs.mkdirSync(path.dirname(path.join(work, disc, name)), { recursive: true });
                fs.writeFileSync(path.join(work, disc, name), bytes);
            }
        }
        const native = new Map([...readNatively('xa', sample('VOICES.XA')),
            ...readNatively('bank', sample('KIT.VH'), sample('KIT.VB'))]);
        const part = (name) => (row) => assertSameWav(row, native.get(`${name}.wav`));
        const tool = (...args) => assert.equal(spawnSync(args[0], args.slice(1), { cwd: work }).status, 0,
            args.join(' '));
        tool(env.MAKE_DISC_IMAGE, 'GAME', 'Game', writeFile('track.raw', randomBytes(30000)));
        tool(env.MAKE_DISC_IMAGE, 'PLAIN', 'Plain');
        tool(env.READ_DISC_IMAGE, 'Game.cue', 'expected');
        writeFile('Broken.iso', Buffer.alloc(40000));
        writeFile('Lost.cue', 'FILE "LOST.BIN" BINARY\n  TRACK 01 MODE2/2352\n    INDEX 01 00:00:00\n');
        const chosen = ['Game.cue', 'Game.bin', 'Game (tracks).cue', 'Game (Track 1).bin', 'Game (Track 2).bin',
            'Plain.iso',
            'Broken.iso', 'Lost.cue'];
        // Eight entries a disc, the audio track and the XA file's three parts
        // on two, a bank's three parts on each, and the two that fail.
        const rows = await choose(chosen.map((name) => path.join(work, name)), { rows: 2 * 11 + 8 + 2 });
        const byPath = Object.fromEntries(rows.map((row) => [row.path, row]));
        const skipped = (why) => (row) =>
            assert.ok(row.status === 'skipped' && row.meaning === `Not converted: ${why}.`, row.path);
        const failed = (why) => (row) => assert.ok(row.status === 'failed' && why.test(row.meaning), row.meaning);
        const same = (program, name) => (row) => assertSameAsNative(row, convertNatively(program, row.name,
            sources[name]));
        const track = (row) => {
            assert.equal(row.status, '0');
            assert.ok(row.wav.equals(fs.readFileSync(path.join(work, 'expected', 'Track 02.wav'))));
        };
        const table = [
            ['Broken.iso', failed(/no ISO 9660 file system/)],
            ['Lost.cue', failed(/The cue sheet names LOST\.BIN, which was not chosen with it/)],
            ...['Game', 'Game (tracks)', 'Plain'].flatMap((disc) => [
                [`${disc}/DUMMY`, skipped('an empty file')],
                [`${disc}/SYSTEM.CNF`, skipped('not ADPCM sound')],
                [`${disc}/MOVIES/INTRO.STR`, same('cinerip', 'MOVIES/INTRO.STR')],
                [`${disc}/SOUND/CHORD.VB`, same('blockrip', 'SOUND/CHORD.VB')],
                ...['s001', 's002', 's003'].map((n) => [`${disc}/SOUND/KIT.VH.${n}`, part(`KIT.VH.${n}`)]),
                ...(disc === 'Plain'
                    ? [[`${disc}/SOUND/VOICES.XA`, skipped('XA sound needs the disc image\'s raw sectors')]]
                    : [[`${disc}/Track 02`, track],
                        ...['f1c01', 'f1c03-1', 'f1c03-2'].map((n) => [`${disc}/SOUND/VOICES.XA.${n}`,
                            part(`VOICES.XA.${n}`)])]),
            ]),
        ];
        assert.deepEqual(rows.map((row) => row.path).sort(), table.map(([name]) => name).sort());
        for (const [name, check] of table) {
            check(byPath[name]);
        }

        // A skipped file converted anyway, with the program chosen for it.
        const again = await engine.evaluate(async () => {
            const row = document.querySelector('[data-path="Plain/SYSTEM.CNF"]');
            row.querySelector('.convert-anyway button[data-program="blockrip"]').click();
            await window.until(() => row.dataset.status !== undefined);
            return row.dataset.status;
        });
        assert.equal(again, '0');
        const zip = unzip(Buffer.from((await engine.evaluate(downloadAll)).bytes, 'base64'));
        assert.ok(zip.has('Game/Track 02.wav') && zip.has('Plain/SYSTEM.CNF.wav') && !zip.has('Game/DUMMY.wav'));
        assert.equal(zip.size, 9 + 9 + 5 + 1, 'the sound of each disc, and the file converted anyway');

        // discrip, given the same files, writes the same WAV files under the
        // ZIP's names, and skips and fails the same files for the same reasons.
        const ripped = spawnSync(env.DISCRIP, ['-o', 'ripped', ...chosen], { cwd: work, encoding: 'utf8' });
        assert.equal(ripped.status, 4, ripped.stdout);
        const written = fs.readdirSync(path.join(work, 'ripped'), { recursive: true })
            .filter((name) => fs.statSync(path.join(work, 'ripped', name)).isFile())
            .map((name) => name.split(path.sep).join('/'));
        assert.deepEqual(written.sort(), [...zip.keys()].filter((name) => name !== 'Plain/SYSTEM.CNF.wav').sort());
        for (const name of written) {
            assert.ok(fs.readFileSync(path.join(work, 'ripped', name)).equals(zip.get(name).bytes), name);
        }
        const said = (word) => ripped.stdout.split('\r\n').filter((line) => line.startsWith(`${word} `))
            .map((line) => line.slice(word.length + 1));
        assert.deepEqual(said('skipped').sort(), rows.filter((row) => row.status === 'skipped')
            .map((row) => `${row.path}: ${row.meaning.replace(/^Not converted: (.*)\.$/, '$1')}`).sort());
        const browserFailed = /^The browser could not convert this file; nothing was written\. /;
        assert.deepEqual(said('failed').sort(), rows.filter((row) => row.status === 'failed')
            .map((row) => `${row.path}: ${row.meaning.replace(browserFailed, '')}`).sort());
    }],

    // Firefox's WebDriver BiDi refuses to set a folder on an input, and
    // WebKitWebDriver hands over an empty file instead.
    ['takes a whole folder, and names the ZIP after it', {
        skip: engineName === 'chromium' ? false : 'a folder cannot be set on an input through this engine\'s driver',
    }, async () => {
        const disc = path.join(work, 'DISC1');
        fs.mkdirSync(path.join(disc, 'MOVIES'), { recursive: true });
        fs.mkdirSync(path.join(disc, 'IMAGES', 'INSIDE'), { recursive: true });
        fs.copyFileSync(sample('fanfare.str'), path.join(disc, 'MOVIES', 'INTRO.STR'));
        fs.copyFileSync(sample('chord.vb'), path.join(disc, 'SOUND.VB'));
        fs.copyFileSync(sample('chord.vb'), path.join(disc, 'IMAGES', 'INSIDE', 'CHORD.VB'));
        // An image beside the loose files: its .bin found beside its .cue.
        const images = path.join(disc, 'IMAGES');
        assert.equal(spawnSync(env.MAKE_DISC_IMAGE, ['INSIDE', 'Inside'], { cwd: images }).status, 0);
        fs.rmSync(path.join(images, 'INSIDE'), { recursive: true });
        for (const file of fs.readdirSync(images).filter((name) => !/^Inside\.(cue|bin)$/.test(name))) {
            fs.rmSync(path.join(images, file));
        }
        const rows = await choose([disc], { input: '#folder' });
        assert.deepEqual(rows.map((row) => row.path), ['DISC1/IMAGES/Inside/CHORD.VB', 'DISC1/MOVIES/INTRO.STR',
            'DISC1/SOUND.VB']);
        assert.deepEqual(rows.map((row) => row.status), ['0', '0', '0']);
        assert.equal((await engine.evaluate(downloadAll)).name, 'DISC1.zip');
    }],

    ['streams 256 MiB, and reads a file past 4 GiB in a disc image, through flat memory', { skip: onlyIn('chromium') },
        async () => {
            const [row] = await choose([blocksFile('huge.vb', 256)], { program: 'blockrip' });
            assert.equal(row.status, '0');
            assert.equal(row.wavSize, 58 + 56 * (256 << 16));
            assert.ok(row.memory <= 64 << 20, `memory ${row.memory}`);
            await clearList();

            // The tool's image, its one file moved to a sector past 4 GiB; the
            // rest of the image is a hole.
            fs.mkdirSync(path.join(work, 'FAR'), { recursive: true });
            fs.copyFileSync(sample('fanfare.str'), path.join(work, 'FAR', 'INTRO.STR'));
            assert.equal(spawnSync(env.MAKE_DISC_IMAGE, ['FAR', 'Far'], { cwd: work }).status, 0);
            const image = fs.readFileSync(path.join(work, 'Far.bin'));
            const record = image.indexOf('INTRO.STR;1') - 33;
            const first = image.readUInt32LE(record + 2);
            const far = 1900000;
            image.writeUInt32LE(far, record + 2);
            image.writeUInt32BE(far, record + 6);
            const descriptor = fs.openSync(path.join(work, 'Far.bin'), 'w');
            fs.writeSync(descriptor, image.subarray(0, first * 2352));
            fs.writeSync(descriptor, image.subarray(first * 2352), 0, image.length - first * 2352, far * 2352);
            fs.closeSync(descriptor);
            const [intro] = await choose([path.join(work, 'Far.bin')]);
            assert.equal(intro.path, 'Far/INTRO.STR');
            assertSameAsNative(intro, convertNatively('cinerip', 'INTRO.STR', fs.readFileSync(sample('fanfare.str'))));
        }],

    ['a write the storage refuses ends the run with its status and keeps nothing', { skip: onlyIn('chromium') },
        async () => {
            // Room for less than the 14 MiB WAV file, whatever the page holds already.
            const { usage } = await engine.evaluate(() => navigator.storage.estimate());
            const storage = await engine.page.createCDPSession();
            await storage.send('Storage.overrideQuotaForOrigin', { origin: site().slice(0, -1),
                quotaSize: usage + (8 << 20) });
            const [row] = await choose([blocksFile('full.vb', 4)], { program: 'blockrip' });
            await storage.send('Storage.overrideQuotaForOrigin', { origin: site().slice(0, -1) });
            assert.equal(row.status, '4', row.meaning);
            assert.match(row.output, /Decompressing\.\.\.\r\nERROR: Cannot write file full\.vb\.wav\r\n$/);
            assert.equal(row.download, null);
            // Nor is anything left of the files that earlier cases cancelled or cleared.
            assert.deepEqual(await engine.evaluate(async () => {
                const kept = [];
                for await (const folder of (await navigator.storage.getDirectory()).values()) {
                    for await (const name of folder.keys()) {
                        kept.push(name);
                    }
                }
                return kept;
            }), []);
        }],

    ['makes no request from the first file chosen on', {}, async () => {
        const requests = server.requests.length;
        const since = await engine.evaluate(() => performance.now());
        await choose([sample('chord.vb'), writeFile('broken.str', broken)]);
        await clearList();
        await choose([sample('fanfare.str')]);
        assert.deepEqual(server.requests.slice(requests), []);
        const fetched = await engine.evaluate((from) => performance.getEntriesByType('resource')
            .filter((entry) => entry.startTime > from && !/^(blob|data):/.test(entry.name)).map((entry) => entry.name),
        since);
        assert.deepEqual(fetched, []);
    }],

    ['keeps a bounded part of a file\'s messages, the first lines and the last', {}, async () => {
        // Every block names a filter above 4: two lines of warning each.
        const warnings = Buffer.alloc(1 << 20);
        for (let at = 0; at < warnings.length; at += 16) {
            warnings[at] = 0x5c;
        }
        const [row] = await choose([writeFile('warnings.vb', warnings)], { program: 'blockrip' });
        const native = convertNatively('blockrip', 'warnings.vb', warnings);
        const lines = native.output.split(/(?<=\n)/);
        assert.equal(row.status, '0');
        assert.ok(row.wav.equals(native.wav));
        assert.equal(row.output, [...lines.slice(0, 1000),
            `[${(lines.length - 1020).toLocaleString('en-US')} more lines not kept]\r\n`,
            ...lines.slice(-20)].join(''));
    }],

    ['works by keyboard alone: every control is reached in order and answers Enter', {}, async () => {
        await choose([sample('chord.vb'), writeFile('broken.str', broken)]);
        const focused = () => engine.evaluate(() => {
            const at = document.activeElement;
            const row = at.closest('.result');
            const control = at.id ? `#${at.id}` : at.className || at.tagName.toLowerCase();
            return `${row ? `${row.dataset.path} ` : ''}${control}`;
        });
        // Tab by Tab from the first control until `last`, or 40 presses.
        const tabFromStart = async (last) => {
            await engine.evaluate(() => document.getElementById('files').focus());
            const reached = [await focused()];
            while (reached.at(-1) !== last && reached.length < 40) {
                await engine.press('Tab');
                reached.push(await focused());
            }
            return reached;
        };
        const reached = await tabFromStart('chord.vb summary');
        const wanted = ['#files', '#folder', '#program', '#rate-switch', '#clear', '#download-all',
            'broken.str download', 'broken.str summary', 'chord.vb download', 'chord.vb summary'];
        const order = wanted.map((name) => reached.indexOf(name));
        assert.ok(order.every((at, i) => at >= 0 && (i === 0 || at > order[i - 1])), `reached: ${reached.join(', ')}`);
        await engine.press('Enter');
        assert.ok(await engine.evaluate(() => document.querySelector('[data-path="chord.vb"] details').open));
        assert.equal((await tabFromStart('#download-all')).at(-1), '#download-all');
        await engine.press('Enter');
        await engine.evaluate(() => window.until(() => document.activeElement.id === 'download-zip'));
    }],

    ['is accessible, empty and with a finished batch', {}, async () => {
        const axe = fs.readFileSync(path.join(env.WEB_MODULES, 'axe-core', 'axe.min.js'), 'utf8');
        const violations = async () => {
            await engine.inject(axe);
            return engine.evaluate(async () => (await window.axe.run(document)).violations
                .map((violation) => `${violation.id}: ${violation.nodes.map((node) => node.target).join(', ')}`));
        };
        assert.deepEqual(await violations(), []);
        await choose([sample('chord.vb'), writeFile('broken.str', broken)]);
        assert.deepEqual(await violations(), []);
        if (engineName === 'chromium') {
            // Dark, and as wide as a phone: nothing scrolls sideways.
            await engine.page.emulateMediaFeatures([{ name: 'prefers-color-scheme', value: 'dark' }]);
            await engine.page.setViewport({ width: 375, height: 800 });
            assert.deepEqual(await violations(), []);
            assert.ok(await engine.evaluate(() => document.documentElement.scrollWidth <= 375));
            const installability = await (await engine.page.createCDPSession()).send('Page.getInstallabilityErrors');
            assert.deepEqual(installability.installabilityErrors, []);
        }
    }],

    ['works offline once visited, and takes a new build on the next visit', {}, async (t) => {
        if (!await engine.evaluate(() => 'serviceWorker' in navigator)) {
            t.skip('this engine has no service workers here');
            return;
        }
        await engine.evaluate(() => window.until(() => navigator.serviceWorker.controller !== null));
        const port = server.port;
        await server.stop();
        await openPage();
        const [row] = await choose([sample('chord.vb')]);
        assertSameAsNative(row, convertNatively('blockrip', 'chord.vb', fs.readFileSync(sample('chord.vb'))));
        await clearList();

        server.folder = siteCopy('new-build', {
            'index.html': (text) => String(text).replace('<h1>', '<h1 data-build="new">'),
            'sw.js': (text) => `${text}\n// a new build\n`,
        });
        await server.start(port);
        // The visit that finds the new service worker lets it take over; the
        // one after it is served the new build.
        for (let visit = 0; visit < 20; ++visit) {
            await openPage();
            if (await engine.evaluate(() => document.querySelector('h1').dataset.build === 'new')) {
                return;
            }
            await new Promise((resolve) => setTimeout(resolve, 250));
        }
        assert.fail('the new build never replaced the cached one');
    }],

    ['says that it must be served, where it is opened from a file', { skip: onlyIn('chromium') }, async () => {
        await engine.open(`file://${path.join(env.SITE_DIR, 'index.html')}`);
        await new Promise((resolve) => setTimeout(resolve, 3500));
        assert.deepEqual(await engine.evaluate(() => [document.documentElement.dataset.ready === 'true',
            getComputedStyle(document.getElementById('not-served')).visibility]), [false, 'visible']);
    }],

    ['fails each file in the list where the module cannot be compiled', {}, async () => {
        server.folder = siteCopy('broken-module', { 'rippers.wasm': () => Buffer.from('not a module') });
        await openPage(`http://localhost:${server.port}/`); // another origin: no service worker of the first
        const [row] = await choose([sample('chord.vb')]);
        assert.equal(row.status, 'failed');
        assert.match(row.meaning, /The converter cannot be loaded/);
    }],
];

for (const [name, options, run] of cases) {
    test(name, options, run);
}
