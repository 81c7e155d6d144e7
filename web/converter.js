// The converter as the page uses it: the module fetched and compiled once,
// with the worker's code, while the page loads; then each file converted in a
// worker of its own, which gets the compiled module. No conversion fetches
// anything.

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

async function siteText(name) {
    const response = await fetch(name);
    if (!response.ok) {
        throw new Error(`${name}: HTTP status ${response.status}`);
    }
    return response.text();
}

// Starts one conversion: a worker that decodes and one that keeps the WAV
// file, whose requests and answers this passes on. `report` gets the
// conversion's messages as they come; `ended` settles on the last one:
// 'done', 'failed', or 'cancelled'.
function start({ workerUrl, writerUrl, module }, request, report) {
    const workers = [];
    let finish;
    const ended = new Promise((resolve) => {
        finish = (message) => {
            for (const worker of workers.splice(0)) {
                worker.terminate();
            }
            resolve(message);
        };
    });
    const fail = (message) => finish({ type: 'failed', message });
    let worker;
    let writer;
    try {
        worker = new Worker(workerUrl, { type: 'module', name: request.file.name });
        workers.push(worker);
        writer = new Worker(writerUrl, { name: `${request.file.name} (writer)` });
        workers.push(writer);
    } catch (error) {
        fail(`The conversion could not start: ${error.message}`);
        return { ended, cancel: () => {} };
    }
    const buffers = (message) => (message.buffer ? [message.buffer] : []);
    worker.onmessage = ({ data }) => {
        if (data.type === 'store') {
            writer.postMessage(data.request, buffers(data.request));
        } else if (data.type === 'done' || data.type === 'failed') {
            finish(data);
        } else {
            report(data);
        }
    };
    writer.onmessage = ({ data }) => worker.postMessage({ type: 'stored', answer: data }, buffers(data));
    const stopped = (event) => {
        event.preventDefault();
        fail(`The conversion failed in the browser: ${event.message || 'its worker could not start'}`);
    };
    const lost = () => fail('The conversion failed in the browser: a message from its worker was lost');
    for (const each of workers) {
        each.onerror = stopped;
        each.onmessageerror = lost;
    }
    worker.postMessage({ module, ...request });
    return { ended, cancel: () => finish({ type: 'cancelled' }) };
}

// Resolves to the converter, or rejects with why it cannot be loaded.
export async function loadConverter() {
    const [module, glue, workerCode, writerCode] = await Promise.all([compileModule(), siteText('rippers.js'),
        siteText('worker.js'), siteText('writer.js')]);
    const script = (...parts) => URL.createObjectURL(new Blob(parts, { type: 'text/javascript' }));
    const parts = { workerUrl: script(glue, '\n', workerCode), writerUrl: script(writerCode), module };
    return { start: (request, report) => start(parts, request, report) };
}
