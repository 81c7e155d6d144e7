// One file's row in the list: its path, the program and rate used, the
// sound's length, its status, a play control and a download, with the
// program's messages, the waveform and the status's meaning folded beneath.
import { conversionLabels, programs } from '../shared/converters.js';
import { fromDecoder } from '../shared/messages.js';
import { pageStatus, statusLabel, statusMeaning } from '../shared/statuses.js';

function element(tag, properties = {}, ...children) {
    const made = document.createElement(tag);
    Object.assign(made, properties);
    made.append(...children);
    return made;
}

function soundLength(frames, rate) {
    const seconds = frames / rate;
    const minutes = Math.floor(seconds / 60);
    return `${minutes}:${(seconds - minutes * 60).toFixed(1).padStart(4, '0')}`;
}

function drawWaveform(canvas, { low, high }) {
    const context = canvas.getContext('2d');
    context.clearRect(0, 0, canvas.width, canvas.height);
    context.fillStyle = getComputedStyle(canvas).color;
    const middle = canvas.height / 2;
    const scale = canvas.height / 65536;
    for (let x = 0; x < canvas.width && low.length > 0; ++x) {
        const column = Math.floor((x * low.length) / canvas.width);
        context.fillRect(x, middle - high[column] * scale, 1, Math.max(1, (high[column] - low[column]) * scale));
    }
}

// What converts a file, as the row says it: "XA (detected): stereo, 37800
// samples per second", and what more there is to say.
export function programText({ program, rate, sorted, channels, note }) {
    const how = sorted ? ' (detected)' : '';
    const more = note ? `; ${note}` : '';
    return `${program}${how}: ${channels === 2 ? 'stereo' : 'mono'}, ${rate} samples per second${more}`;
}

// `source` is what the row converts: its `path` in the list, the `name` the
// program is given, its `size`, and where its bytes are (files.js).
// `settings` are the program and rate switch it is converted with;
// `outputName` its WAV file's name in the page's storage. `onCancel` is
// called when the user cancels this file, `onConvert(program)` when a
// skipped file is to be converted anyway.
export function createRow(source, { settings, outputName, onCancel, onConvert }) {
    const { path, name, size } = source;
    const state = element('span', { className: 'state', textContent: 'Waiting...' });
    const progress = element('progress', { max: size || 1, value: 0, hidden: true });
    progress.setAttribute('aria-label', `Progress of ${path}`);
    const cancel = element('button', { type: 'button', className: 'cancel', textContent: 'Cancel' });
    cancel.setAttribute('aria-label', `Cancel ${path}`);
    cancel.addEventListener('click', onCancel);
    const program = element('span', { className: 'program' });
    const length = element('span', { className: 'length' });
    const consoleText = element('pre', { className: 'console' });
    const meaning = element('p', { className: 'meaning' });
    const details = element('details', {},
        element('summary', {}, 'Details', element('span', { className: 'hidden', textContent: ` of ${path}` })),
        consoleText, meaning);
    const item = element('li', { className: 'result' },
        element('div', { className: 'row' },
            element('span', { className: 'path', textContent: path }), program, length, state, progress, cancel),
        details);
    item.dataset.name = name;
    item.dataset.path = path;

    let url = null;
    const row = {
        source,
        path,
        size,
        item,
        settings,
        outputName,
        state: 'waiting',
        status: null,
        wav: null,
        bytesDone: 0,
        // Ends the conversion while it runs (the batch sets it).
        cancelConversion: null,
        // Taken out of the list: whatever its conversion ends with is dropped.
        cleared: false,

        converting() {
            row.state = 'converting';
            state.textContent = 'Converting...';
            progress.hidden = false;
        },

        // Back to waiting, as a skipped file to be converted anyway.
        reopen() {
            row.state = 'waiting';
            row.status = null;
            state.textContent = 'Waiting...';
            item.querySelector('.convert-anyway')?.remove();
            consoleText.replaceChildren();
            meaning.textContent = '';
            item.classList.remove('failed');
            delete item.dataset.status;
            state.after(cancel);
        },

        // A message from the conversion's worker while it runs.
        report(message) {
            if (message.type === fromDecoder.program.type) {
                program.textContent = programText(message);
            } else if (message.type === fromDecoder.print.type) {
                // Appended, not rewritten: the text so far is never copied.
                consoleText.append(message.text);
            } else if (message.type === fromDecoder.progress.type) {
                progress.value = message.done;
                row.bytesDone = message.done;
            }
        },

        // The conversion's last message: the program's exit status, a
        // failure in the browser, or a cancel.
        finish(end) {
            row.state = 'ended';
            row.status = end.type === fromDecoder.done.type ? end.status : pageStatus[end.type];
            progress.hidden = true;
            cancel.remove();
            state.textContent = statusLabel(row.status);
            const why = end.message ?? (end.reason && `${end.reason}.`);
            meaning.textContent = why ? `${statusMeaning(row.status)} ${why}` : statusMeaning(row.status);
            item.classList.toggle('failed', row.status !== 0 && row.status !== pageStatus.cancelled &&
                row.status !== pageStatus.skipped);
            if (row.status === pageStatus.skipped && source.files.length > 0) {
                const offer = element('span', { className: 'convert-anyway' }, ...programs.map((program) => {
                    const label = conversionLabels[program];
                    const button = element('button', { type: 'button', textContent: `Convert with ${label}` });
                    button.setAttribute('aria-label', `Convert ${path} with ${label}`);
                    button.dataset.program = program;
                    button.addEventListener('click', () => onConvert(program));
                    return button;
                }));
                state.after(offer);
            }
            if (end.type === fromDecoder.done.type) {
                row.bytesDone = row.size;
                item.dataset.memory = String(end.memory);
            }
            if (end.wav) {
                row.wav = end.wav;
                url = URL.createObjectURL(end.wav);
                length.textContent = soundLength(end.frames, end.rate);
                // Given its file only once the user turns to it: Chromium reads
                // a player's whole file on the page's main thread as soon as
                // it has one, whatever its preload says.
                const audio = element('audio', { controls: true, preload: 'none' });
                const load = () => {
                    if (!audio.src) {
                        audio.src = url;
                    }
                };
                for (const event of ['pointerenter', 'pointerdown', 'focus']) {
                    audio.addEventListener(event, load, { once: true });
                }
                audio.setAttribute('aria-label', `Play ${name}.wav`);
                const download = element('a', { className: 'download', href: url, download: `${name}.wav`,
                    textContent: 'Download' });
                download.setAttribute('aria-label', `Download ${name}.wav`);
                const canvas = element('canvas', { className: 'waveform', width: 1024, height: 80 });
                canvas.setAttribute('role', 'img');
                canvas.setAttribute('aria-label', `Waveform of ${name}.wav`);
                state.after(audio, download);
                consoleText.after(canvas);
                // Drawn once it is shown: a batch of thousands of files would
                // otherwise draw thousands of pictures nobody opens.
                const draw = () => {
                    if (details.open) {
                        details.removeEventListener('toggle', draw);
                        drawWaveform(canvas, end.waveform);
                    }
                };
                details.addEventListener('toggle', draw);
                draw();
            }
            item.dataset.status = String(row.status);
        },

        // Before the row leaves the list.
        release() {
            if (url !== null) {
                URL.revokeObjectURL(url);
            }
        },
    };
    return row;
}
