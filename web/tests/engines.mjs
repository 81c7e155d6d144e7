// The browser engines the page is tested in, behind one small interface:
// open a page, evaluate a function in it, set the files of an input, press a
// key, reload.
// Chromium and Firefox are driven by puppeteer-core (Firefox through
// WebDriver BiDi); WebKitGTK's MiniBrowser by WebKitWebDriver, through the
// W3C WebDriver protocol spoken here.
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import { createRequire } from 'node:module';
import os from 'node:os';
import path from 'node:path';
import { environment as env } from './environment.mjs';

const profiles = [];

async function puppeteerEngine(name) {
    const puppeteer = createRequire(path.join(env.WEB_MODULES, 'index.js'))('puppeteer-core');
    const profile = fs.mkdtempSync(path.join(os.tmpdir(), `rippers-${name}-`));
    profiles.push(profile);
    const browser = await puppeteer.launch(name === 'chromium'
        ? {
            browser: 'chrome', executablePath: env.CHROMIUM, headless: true, userDataDir: profile,
            args: ['--no-sandbox', '--headless=new', '--disable-gpu', '--disable-dev-shm-usage', '--disable-quic',
                '--no-first-run', '--disable-background-networking', '--disable-component-update', '--disable-sync'],
        }
        : { browser: 'firefox', executablePath: env.FIREFOX, headless: true, userDataDir: profile });
    const page = await browser.newPage();
    return {
        name,
        open: (url) => page.goto(url, { waitUntil: 'load' }),
        reload: () => page.reload({ waitUntil: 'load' }),
        evaluate: (fn, ...args) => page.evaluate(fn, ...args),
        inject: (source) => page.evaluate(source),
        upload: async (selector, files) => (await page.$(selector)).uploadFile(...files),
        press: (key) => page.keyboard.press(key),
        page, // for what only this engine can do
        close: () => browser.close(),
    };
}

async function webdriverEngine() {
    const port = 4400 + Math.floor(Math.random() * 500);
    const driver = spawn(env.WEBKIT_DRIVER, [`--port=${port}`], { stdio: 'ignore' });
    const base = `http://127.0.0.1:${port}`;
    const call = async (method, where, body) => {
        const response = await fetch(`${base}${where}`, {
            method, headers: { 'Content-Type': 'application/json' }, body: body && JSON.stringify(body),
        });
        const { value } = await response.json();
        if (value?.error) {
            throw new Error(`WebDriver ${where}: ${value.error}: ${value.message}`);
        }
        return value;
    };
    for (let tries = 0; ; ++tries) {
        try {
            await call('GET', '/status');
            break;
        } catch (error) {
            if (tries > 100) {
                throw error;
            }
            await new Promise((resolve) => setTimeout(resolve, 100));
        }
    }
    const { sessionId } = await call('POST', '/session', {
        capabilities: {
            alwaysMatch: {
                browserName: 'MiniBrowser',
                'webkitgtk:browserOptions': { binary: env.MINIBROWSER, args: ['--automation'] },
                timeouts: { script: 600000 },
            },
        },
    });
    const session = `/session/${sessionId}`;
    return {
        name: 'webkit',
        open: (url) => call('POST', `${session}/url`, { url }),
        reload: () => call('POST', `${session}/refresh`, {}),
        async evaluate(fn, ...args) {
            const script = `const done = arguments[arguments.length - 1];
                Promise.resolve((${fn}).apply(null, Array.from(arguments).slice(0, -1)))
                    .then((value) => done({ value }),
                        (error) => done({ error: String(error && error.stack || error) }));`;
            const result = await call('POST', `${session}/execute/async`, { script, args });
            if (result.error !== undefined) {
                throw new Error(result.error);
            }
            return result.value;
        },
        inject: (source) => call('POST', `${session}/execute/sync`, { script: source, args: [] }),
        async upload(selector, files) {
            const element = await call('POST', `${session}/element`, { using: 'css selector', value: selector });
            await call('POST', `${session}/element/${Object.values(element)[0]}/value`, { text: files.join('\n') });
        },
        async press(key) {
            const value = { Tab: '\uE004', Enter: '\uE007' }[key];
            await call('POST', `${session}/actions`, {
                actions: [
                    { type: 'key', id: 'keyboard', actions: [{ type: 'keyDown', value }, { type: 'keyUp', value }] },
                ],
            });
        },
        async close() {
            await call('DELETE', session).catch(() => {});
            driver.kill();
        },
    };
}

export async function launch(name) {
    return name === 'webkit' ? webdriverEngine() : puppeteerEngine(name);
}

export function removeProfiles() {
    for (const profile of profiles) {
        fs.rmSync(profile, { recursive: true, force: true });
    }
}
