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

// Starts one conversion. `report` gets the worker's messages as they come;
// `ended` settles on the last one: 'done', 'failed', or 'cancelled'.
function start(workerUrl, module, request, report) {
    let worker = null;
    let finish;
    const ended = new Promise((resolve) => {
        finish = (message) => {
            worker?.terminate();
            worker = null;
            resolve(message);
        };
    });
    const fail = (message) => finish({ type: 'failed', message });
    try {
        worker = new Worker(workerUrl, { type: 'module', name: request.file.name });
    } catch (error) {
        fail(`The conversion could not start: ${error.message}`);
        return { ended, cancel: () => {} };
    }
    worker.onmessage = ({ data }) => {
        if (data.type === 'done' || data.type === 'failed') {
            finish(data);
        } else {
            report(data);
        }
    };
    worker.onerror = (event) => {
        event.preventDefault();
        fail(`The conversion failed in the browser: ${event.message || 'its worker could not start'}`);
    };
    worker.onmessageerror = () => fail('The conversion failed in the browser: a message from its worker was lost');
    worker.postMessage({ module, ...request });
    return { ended, cancel: () => finish({ type: 'cancelled' }) };
}

// Resolves to the converter, or rejects with why it cannot be loaded.
export async function loadConverter() {
    const [module, glue, workerCode] = await Promise.all([compileModule(), siteText('rippers.js'), siteText('worker.js')]);
    const workerUrl = URL.createObjectURL(new Blob([glue, '\n', workerCode], { type: 'text/javascript' }));
    return { start: (request, report) => start(workerUrl, module, request, report) };
}
