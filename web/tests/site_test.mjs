// The page in a real browser (headless Chromium), served from 127.0.0.1:
// its messages and WAV files must be exactly those of the native programs.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { randomBytes } from 'node:crypto';
import fs from 'node:fs';
import http from 'node:http';
import { createRequire } from 'node:module';
import os from 'node:os';
import path from 'node:path';
import { after, before, test } from 'node:test';

const env = process.env;
const { chromium } = createRequire(path.join(env.WEB_TEST_MODULES, 'index.js'))('playwright-core');
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'rippers-web-'));
const programs = { cinerip: env.CINERIP, blockrip: env.BLOCKRIP };

let server;
let browser;
let page;
const requestsAfterLoad = [];

function serveSite() {
    const types = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm' };
    server = http.createServer((request, response) => {
        const name = path.join(env.SITE_DIR, path.normalize(decodeURIComponent(new URL(request.url, 'http://x').pathname)));
        fs.readFile(name, (error, bytes) => {
            response.writeHead(error ? 404 : 200, { 'Content-Type': types[path.extname(name)] ?? 'application/octet-stream' });
            response.end(error ? '' : bytes);
        });
    });
    return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server.address().port)));
}

before(async () => {
    const port = await serveSite();
    browser = await chromium.launch({
        executablePath: env.CHROMIUM,
        args: ['--no-sandbox', '--headless=new', '--disable-gpu', '--disable-dev-shm-usage', '--disable-quic',
            '--no-first-run', '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    });
    page = await browser.newPage();
    await page.goto(`http://127.0.0.1:${port}/index.html`, { waitUntil: 'load' });
    page.on('request', (request) => {
        if (!request.url().startsWith('blob:') && !request.url().startsWith('data:')) {
            requestsAfterLoad.push(request.url());
        }
    });
});

after(async () => {
    await browser?.close();
    server?.close();
    fs.rmSync(work, { recursive: true, force: true });
});

// The native program's stdout, status and WAV file for `bytes` named `name`.
function convertNatively(program, name, bytes, rateSwitch) {
    const folder = fs.mkdtempSync(path.join(work, 'native-'));
    fs.writeFileSync(path.join(folder, name), bytes);
    const typed = name.startsWith('-') ? `./${name}` : name;
    const args = rateSwitch ? [program === 'cinerip' ? '-11' : '-22', typed] : [typed];
    const run = spawnSync(programs[program], args, { cwd: folder });
    return { output: run.stdout.toString('utf8'), status: run.status, wav: fs.readFileSync(path.join(folder, `${name}.wav`)) };
}

// Chooses the files through the file input with the given settings, and
// waits for each one's result.
async function convertInPage(files, { program = 'auto', rateSwitch = false, whileRunning } = {}) {
    await page.selectOption('#program', program);
    await page.setChecked('#rate-switch', rateSwitch);
    const before = await page.locator('.result').count();
    await page.setInputFiles('#files', files);
    const results = [];
    for (let i = 0; i < files.length; ++i) {
        const result = page.locator('.result').nth(before + i);
        await whileRunning?.(result);
        await result.locator('xpath=self::*[@data-status]').waitFor({ timeout: 600000 });
        const found = await result.evaluate(async (element) => {
            const link = element.querySelector('a.download');
            const base64 = (bytes) => {
                let text = '';
                for (let at = 0; at < bytes.length; at += 0x8000) {
                    text += String.fromCharCode(...bytes.subarray(at, at + 0x8000));
                }
                return btoa(text);
            };
            // Small files whole; of a large one, its size and header.
            const wav = link ? await (await fetch(link.href)).blob() : null;
            const kept = wav === null ? null : wav.size <= (16 << 20) ? wav : wav.slice(0, 58);
            return {
                name: element.dataset.name,
                status: element.dataset.status,
                memory: Number(element.dataset.memory),
                output: element.querySelector('pre.console').textContent,
                program: element.querySelector('.program').textContent,
                download: link?.getAttribute('download') ?? null,
                hasAudio: element.querySelector('audio') !== null,
                wavSize: wav?.size ?? null,
                wav: kept === null ? null : base64(new Uint8Array(await kept.arrayBuffer())),
            };
        });
        results.push({ ...found, wav: found.wav === null ? null : Buffer.from(found.wav, 'base64') });
    }
    return results;
}

function assertSameAsNative(result, native) {
    assert.equal(result.output, native.output);
    assert.equal(result.status, String(native.status));
    assert.ok(result.wav.equals(native.wav), `${result.name}: the WAV bytes differ`);
    assert.equal(result.download, `${result.name}.wav`);
    assert.ok(result.hasAudio);
    assert.ok(result.memory > 0 && result.memory < 64 * 1024 * 1024, `memory ${result.memory}`);
}

test('the demo samples convert exactly as the programs convert them', async () => {
    const samples = ['fanfare.str', 'chord.vb'].map((name) => path.join(env.SAMPLES_DIR, name));
    const [fanfare, chord] = await convertInPage(samples);
    assert.match(fanfare.program, /^cinerip \(detected\): 22050/);
    assert.match(chord.program, /^blockrip \(detected\): 11025/);
    assertSameAsNative(fanfare, convertNatively('cinerip', 'fanfare.str', fs.readFileSync(samples[0])));
    assertSameAsNative(chord, convertNatively('blockrip', 'chord.vb', fs.readFileSync(samples[1])));
});

test('the rate switch is the chosen program\'s own', async () => {
    const sample = path.join(env.SAMPLES_DIR, 'fanfare.str');
    const [result] = await convertInPage([sample], { rateSwitch: true });
    assert.match(result.program, /^cinerip \(detected\) -11: 11025 samples per second/);
    assertSameAsNative(result, convertNatively('cinerip', 'fanfare.str', fs.readFileSync(sample), true));
    assert.equal(result.wav.readUInt32LE(24), 11025);
});

test('a malformed container warns and ends where the file does', async () => {
    const block = (header) => Buffer.concat([Buffer.from([header, 0]), randomBytes(14)]);
    const chunk = (tag, size, payload) => {
        const head = Buffer.alloc(8);
        head.write(tag, 'latin1');
        head.writeUInt32BE(size, 4);
        return Buffer.concat([head, payload]);
    };
    const bytes = Buffer.concat([
        chunk('Vi10', 16, Buffer.alloc(8, 0x55)),
        chunk('Ad10', 8 + 16 * 10, Buffer.concat([block(0x2c), block(0x5c), block(0xf3)])),
    ]);
    const file = path.join(work, 'broken.str');
    fs.writeFileSync(file, bytes);
    const [result] = await convertInPage([file]);
    assert.match(result.output, /filterid = 5,\r\n.*filterid = 15,\r\nWARNING: file ends inside an audio chunk\r\nDONE!\r\n$/s);
    assertSameAsNative(result, convertNatively('cinerip', 'broken.str', bytes));
});

test('an undetectable file is converted as a raw stream, named as typed', async () => {
    const bytes = Buffer.concat([Buffer.from([0x01]), randomBytes(16 * 50 + 7)]);
    const file = path.join(work, '-noise.bin');
    fs.writeFileSync(file, bytes);
    const [result] = await convertInPage([file]);
    assert.match(result.program, /^blockrip \(detected\)/);
    assertSameAsNative(result, convertNatively('blockrip', '-noise.bin', bytes));
});

test('a large input streams through flat memory, and a cancel ends its worker', async () => {
    const file = path.join(work, 'large.vb');
    const pattern = randomBytes(1 << 20);
    for (let i = 0; i < pattern.length; i += 16) {
        pattern[i] = pattern[i] % 0x4d; // filters 0-4
    }
    const descriptor = fs.openSync(file, 'w');
    for (let i = 0; i < 256; ++i) {
        fs.writeSync(descriptor, pattern);
    }
    fs.closeSync(descriptor);

    const seen = [];
    const started = Date.now();
    const [result] = await convertInPage([file], {
        program: 'blockrip',
        whileRunning: async (element) => {
            const progress = element.locator('progress');
            while ((await element.getAttribute('data-status')) === null) {
                seen.push(Number(await progress.getAttribute('value') ?? await progress.evaluate((bar) => bar.value)));
                await new Promise((resolve) => setTimeout(resolve, 100));
            }
        },
    }).catch((error) => { throw error; });
    const seconds = (Date.now() - started) / 1000;
    const distinct = [...new Set(seen)];
    console.log(`256 MiB in ${seconds.toFixed(1)} s; module memory ${result.memory} bytes; ${distinct.length} progress steps seen`);
    assert.equal(result.status, '0');
    assert.equal(result.output, 'blockrip converter v0.2 - Orlandel\r\nDecompressing...\r\nDONE!\r\n');
    assert.equal(result.wavSize, 58 + 56 * (256 << 16));
    assert.equal(result.wav.readUInt32LE(4), 50 + 56 * (256 << 16), 'RIFF size');
    assert.ok(result.memory < 64 * 1024 * 1024, `memory ${result.memory}`);
    assert.ok(distinct.length >= 3, `progress advanced through ${distinct}`);
    assert.deepEqual(distinct, [...distinct].sort((a, b) => a - b));

    const [cancelled] = await convertInPage([file], {
        program: 'blockrip',
        whileRunning: async (element) => {
            await element.locator('pre.console', { hasText: 'Decompressing...' }).waitFor();
            await element.locator('button.cancel').click();
        },
    });
    assert.equal(cancelled.status, 'cancelled');
    assert.equal(cancelled.download, null);
    assert.match(cancelled.output, /^blockrip converter v0\.2 - Orlandel\r\nDecompressing\.\.\.\r\n/);
});

test('nothing is fetched once the page has loaded', () => {
    assert.deepEqual(requestsAfterLoad, []);
});
