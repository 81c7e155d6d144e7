// The converter as the page uses it: the module fetched and compiled once,
// with the workers' code, while the page loads. Each job (a file to convert,
// a disc image to list) runs on a decoding worker and a writer of its own;
// once it ends, the two are kept for the next job, unless it was cancelled
// or failed. No job fetches anything: the workers' modules are made from
// what the page fetched.
import { fromDecoder, pageEnds, toDecoder, transferred, workerReady } from '../shared/messages.js';

async function compileModule() {
    const response = await fetch('rippers.wasm');
    if (!response.ok) {
        throw new Error(`rippers.wasm: HTTP status ${response.status}`);
    }
    // Compiling while it arrives needs the right type; any host may serve it.
    if (response.headers.get('Content-Type')?.startsWith('application/wasm')) {
        return WebAssembly.compileStreaming(response);
    }
    return WebAssembly.compile(await response.arrayBuffer());
}

async function siteText(url) {
    const response = await fetch(url);
    if (!response.ok) {
        throw new Error(`${new URL(url).pathname}: HTTP status ${response.status}`);
    }
    return response.text();
}

// The site's modules that the workers run, from the site root.
const workerEntries = { decoder: 'workers/decoder.js', writer: 'workers/writer.js' };

// A module as a blob: URL, and every module it imports, each made before
// the modules that import it, the import's specifier pointing at its blob:
// URL; a module imported by several is made once. A worker started from
// these fetches nothing.
function moduleUrls(entries) {
    const made = new Map();
    const make = (url) => {
        if (!made.has(url)) {
            made.set(url, (async () => {
                let source = await siteText(url);
                const specifiers = new Set([...source.matchAll(/\bfrom\s*'(\.\.?\/[^']+)'/g)].map((match) => match[1]));
                for (const specifier of specifiers) {
                    const imported = await make(new URL(specifier, url).href);
                    source = source.replaceAll(`'${specifier}'`, `'${imported}'`);
                }
                return URL.createObjectURL(new Blob([source], { type: 'text/javascript' }));
            })());
        }
        return made.get(url);
    };
    return Promise.all(Object.entries(entries)
        .map(async ([name, path]) => [name, await make(new URL(path, document.baseURI).href)]))
        .then((urls) => new Map(urls));
}

// Long enough for a slow machine to instantiate the module; a worker that
// says nothing for that long is taken as one that could not start.
const startSeconds = 30;

// A decoding worker and a writer, once both say they are ready.
function startWorkers(urls, module) {
    return new Promise((resolve, reject) => {
        const started = [];
        const stop = () => started.forEach((worker) => worker.terminate());
        const refuse = (why) => {
            clearTimeout(watchdog);
            stop();
            reject(new Error(why));
        };
        const watchdog = setTimeout(() => refuse(`its workers did not start within ${startSeconds} s`),
            startSeconds * 1000);
        try {
            started.push(new Worker(urls.get('decoder'), { type: 'module', name: 'decoder' }));
            started.push(new Worker(urls.get('writer'), { type: 'module', name: 'writer' }));
        } catch (error) {
            refuse(error.message);
            return;
        }
        let waiting = started.length;
        for (const [i, worker] of started.entries()) {
            worker.onmessage = ({ data }) => {
                if (data.type === workerReady.type && --waiting === 0) {
                    clearTimeout(watchdog);
                    resolve({ decoder: started[0], writer: started[1], stop });
                }
            };
            worker.onerror = (event) => {
                event.preventDefault();
                refuse(event.message || `its ${i === 0 ? 'decoding worker' : 'writer'} could not start`);
            };
        }
        started[0].postMessage(toDecoder.start(module));
    });
}

// The last message of a job; a pair that ends one other than by failing is
// kept for the next.
const ends = new Set([fromDecoder.done, fromDecoder.failed, fromDecoder.skipped, fromDecoder.split,
    fromDecoder.listed].map((end) => end.type));

// One job on a pair of workers, whose writer's requests and answers this
// passes on. `report` gets the job's messages as they come; `ended` settles
// on the last one, or on a cancel. `release(kept)` hands the pair back once
// it ends.
function runJob({ decoder, writer }, request, report, release) {
    let finish;
    const ended = new Promise((resolve) => {
        finish = (message) => {
            finish = () => {};
            for (const worker of [decoder, writer]) {
                worker.onmessage = worker.onerror = worker.onmessageerror = null;
            }
            release(ends.has(message.type) && message.type !== fromDecoder.failed.type);
            resolve(message);
        };
    });
    const fail = (message) => finish(fromDecoder.failed(message));
    decoder.onmessage = ({ data }) => {
        if (data.type === fromDecoder.store.type) {
            writer.postMessage(data.request, transferred(data.request));
        } else if (ends.has(data.type)) {
            finish(data);
        } else {
            report(data);
        }
    };
    writer.onmessage = ({ data }) => decoder.postMessage(toDecoder.stored(data), transferred(data));
    for (const worker of [decoder, writer]) {
        worker.onerror = (event) => {
            event.preventDefault();
            const which = worker === writer ? 'writer' : 'decoding worker';
            fail(`The conversion failed in the browser: ${event.message || `its ${which} stopped`}`);
        };
        worker.onmessageerror = () => fail('The conversion failed in the browser: a message from its worker was lost');
    }
    decoder.postMessage(request);
    return { ended, cancel: () => finish(pageEnds.cancelled()) };
}

// Resolves to the converter, or rejects with why it cannot be loaded.
export async function loadConverter() {
    const [module, urls] = await Promise.all([compileModule(), moduleUrls(workerEntries)]);
    const idle = [];
    const startJob = (request, report) => {
        let cancelled = false;
        let cancelJob = () => {};
        const ended = (async () => {
            let pair;
            try {
                pair = idle.pop() ?? await startWorkers(urls, module);
            } catch (error) {
                return pageEnds.unstarted(`The conversion could not start: ${error.message}`);
            }
            if (cancelled) {
                idle.push(pair);
                return pageEnds.cancelled();
            }
            const job = runJob(pair, request, report, (kept) => (kept ? idle.push(pair) : pair.stop()));
            cancelJob = job.cancel;
            return job.ended;
        })();
        return {
            ended,
            cancel() {
                cancelled = true;
                cancelJob();
            },
        };
    };
    return {
        // Starts converting a file (messages.js, toDecoder.convert).
        start: (request, report) => startJob(toDecoder.convert(request), report),
        // Lists a disc image: a promise of the job's last message.
        list: (image, files) => startJob(toDecoder.list(image, files), () => {}).ended,
        // Lets go of the workers that no job uses.
        release() {
            idle.splice(0).forEach((pair) => pair.stop());
        },
    };
}
