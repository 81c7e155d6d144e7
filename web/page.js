// The page: takes files, converts each in a worker of its own, one after
// another, and shows what the program printed, the exit status and the WAV
// file.
'use strict';

// Everything a conversion needs is fetched here, while the page loads, so
// that nothing is fetched once it has: what the user drops stays on this
// computer. (Fetched synchronously because only that holds the load event.)
function siteFile(name, binary) {
    const request = new XMLHttpRequest();
    request.open('GET', name, false);
    if (binary) {
        request.overrideMimeType('text/plain; charset=x-user-defined');
    }
    request.send();
    if (request.status !== 200) {
        throw new Error(`cannot load ${name}: ${request.status}`);
    }
    return binary ? Uint8Array.from(request.responseText, (c) => c.charCodeAt(0) & 0xff) : request.responseText;
}

const wasmBytes = siteFile('rippers.wasm', true);
const workerUrl = URL.createObjectURL(
    new Blob([siteFile('rippers.js', false), '\n', siteFile('worker.js', false)], { type: 'text/javascript' }));

const statusMeanings = new Map([
    [0, 'Done: the conversion finished and the WAV file is complete.'],
    [1, 'No input file was named; the usage was printed.'],
    [2, 'The input file cannot be opened.'],
    [3, 'The WAV file cannot be created.'],
    [4, 'The conversion stopped early; the WAV file, if offered, holds what was converted.'],
]);

const rates = { cinerip: [22050, 11025], blockrip: [11025, 22050] };
const switches = { cinerip: '-11', blockrip: '-22' };

function element(tag, className, text) {
    const made = document.createElement(tag);
    if (className) {
        made.className = className;
    }
    if (text !== undefined) {
        made.textContent = text;
    }
    return made;
}

function drawWaveform(canvas, { low, high }) {
    canvas.width = canvas.clientWidth || 800;
    canvas.height = 80;
    const context = canvas.getContext('2d');
    context.fillStyle = '#36c';
    const middle = canvas.height / 2;
    const scale = canvas.height / 65536;
    for (let x = 0; x < canvas.width && low.length > 0; ++x) {
        const column = Math.floor((x * low.length) / canvas.width);
        const top = middle - high[column] * scale;
        context.fillRect(x, top, 1, Math.max(1, (high[column] - low[column]) * scale));
    }
}

// One file's conversion and what the page shows of it.
function conversion(file, chosenProgram, rateSwitch) {
    const result = element('section', 'result');
    result.dataset.name = file.name;
    const heading = element('h2', '', file.name);
    const program = element('p', 'program', 'Waiting...');
    const progress = element('progress');
    progress.max = file.size || 1;
    progress.value = 0;
    const cancel = element('button', 'cancel', 'Cancel');
    const consoleText = element('pre', 'console');
    const status = element('p', 'status');
    result.append(heading, program, progress, cancel, consoleText, status);
    document.getElementById('results').append(result);

    let worker = null;
    let finish = () => {};
    const ended = new Promise((resolve) => {
        finish = resolve;
    });
    const end = () => {
        worker?.terminate();
        cancel.disabled = true;
        finish();
    };
    cancel.addEventListener('click', () => {
        result.dataset.status = 'cancelled';
        status.textContent = 'Cancelled: the conversion was ended; no WAV file is offered.';
        end();
    });

    const start = () => {
        if (result.dataset.status === 'cancelled') {
            return ended;
        }
        worker = new Worker(workerUrl);
        let chosen = null;
        worker.onmessage = ({ data }) => {
            if (data.type === 'program') {
                chosen = data.program;
                const rate = rates[chosen][rateSwitch ? 1 : 0];
                program.textContent = `${chosen}${data.detected ? ' (detected)' : ''}` +
                    `${rateSwitch ? ` ${switches[chosen]}` : ''}: ${rate} samples per second`;
            } else if (data.type === 'print') {
                consoleText.textContent += data.text;
            } else if (data.type === 'progress') {
                progress.value = data.done;
            } else if (data.type === 'done') {
                progress.value = progress.max;
                status.textContent = `Exit status ${data.status}: ${statusMeanings.get(data.status) ?? 'unexpected.'}`;
                status.classList.toggle('failed', data.status !== 0);
                if (data.wav) {
                    const url = URL.createObjectURL(data.wav);
                    const canvas = element('canvas', 'waveform');
                    const audio = element('audio');
                    audio.controls = true;
                    audio.src = url;
                    const download = element('a', 'download', `Download ${file.name}.wav`);
                    download.href = url;
                    download.download = `${file.name}.wav`;
                    result.append(canvas, audio, download);
                    drawWaveform(canvas, data.waveform);
                }
                result.dataset.memory = String(data.memory);
                result.dataset.status = String(data.status);
                end();
            }
        };
        worker.onerror = (event) => {
            status.textContent = `The conversion failed in the browser: ${event.message}`;
            result.dataset.status = 'failed';
            end();
        };
        program.textContent = 'Converting...';
        worker.postMessage({ file, chosenProgram, rateSwitch, wasm: wasmBytes });
        return ended;
    };
    return start;
}

let queue = Promise.resolve();

function convertFiles(files) {
    // The settings as they stand now apply to these files.
    const chosenProgram = document.getElementById('program').value;
    const rateSwitch = document.getElementById('rate-switch').checked;
    for (const file of files) {
        const start = conversion(file, chosenProgram, rateSwitch);
        queue = queue.then(start);
    }
}

const input = document.getElementById('files');
input.addEventListener('change', () => {
    convertFiles([...input.files]);
    input.value = '';
});

const drop = document.getElementById('drop');
drop.addEventListener('dragover', (event) => {
    event.preventDefault();
    drop.classList.add('over');
});
drop.addEventListener('dragleave', () => drop.classList.remove('over'));
drop.addEventListener('drop', (event) => {
    event.preventDefault();
    drop.classList.remove('over');
    convertFiles([...event.dataTransfer.files]);
});
