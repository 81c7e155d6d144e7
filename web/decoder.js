// A decoding worker: the converters' module, instantiated once from what the
// page compiled and kept for every file this worker is given, one at a time,
// so that the page stays responsive and a cancel can end a conversion at
// once. The page starts it beside a writer (writer.js) and passes their
// messages on; messages.js defines them all.
import createRippers from './rippers.js';
import { parseListing } from './discs.js';
import { createLog } from './log.js';
import { fromDecoder, toDecoder, toWriter, transferred, workerReady } from './messages.js';

const mebibyte = 1 << 20;

const windowBytes = 16 * mebibyte;

// Whether a file's stream can be read into buffers of the reader's own
// (Chromium and Firefox can, WebKitGTK cannot).
const reusable = (() => {
    try {
        new Blob([]).stream().getReader({ mode: 'byob' }).releaseLock();
        return true;
    } catch {
        return false;
    }
})();

// Window buffers that jobs have let go of, for the next: fresh memory costs
// the browser more than reading into memory it has.
const spareWindows = [];

// `length` bytes of the file from `start`, into a spare window where the
// browser can.
async function readWindow(file, start, length) {
    if (!reusable) {
        return new Uint8Array(await file.slice(start, start + length).arrayBuffer());
    }
    let buffer = spareWindows.pop() ?? new ArrayBuffer(windowBytes);
    const reader = file.slice(start, start + length).stream().getReader({ mode: 'byob' });
    let filled = 0;
    while (filled < length) {
        const { done, value } = await reader.read(new Uint8Array(buffer, filled, length - filled));
        buffer = value.buffer;
        if (done) {
            break;
        }
        filled += value.length;
    }
    reader.releaseLock();
    return new Uint8Array(buffer, 0, filled);
}

// Reads a file through a window of 16 MiB where the module reads in full
// pieces (1 MiB), so that its reads cost a copy rather than a call into the
// browser, and asks for the next window as soon as one arrives, so that the
// browser reads it while the module decodes this one. A smaller read (a disc
// image's directory, a sample of a file being sorted) takes what it asks
// for and no more. The whole file is never in memory.
function fileReader(file) {
    const load = (start) => {
        const bytes = readWindow(file, start, Math.min(windowBytes, file.size - start));
        bytes.catch(() => {}); // seen when awaited
        return { start, bytes };
    };
    const spare = (window) => window?.bytes.then((bytes) => {
        if (reusable && spareWindows.length < 2) {
            spareWindows.push(bytes.buffer);
        }
    }, () => {});
    let current = null;
    let next = null;
    const read = async (offset, length) => {
        const inWindow = current !== null && offset >= current.start && offset + length <= current.start + current.bytes.length;
        if (!inWindow && length < mebibyte) {
            return new Uint8Array(await file.slice(offset, offset + length).arrayBuffer());
        }
        if (!inWindow) {
            const wanted = next !== null && next.start === offset ? next : load(offset);
            if (wanted !== next) {
                spare(next);
            }
            spare(current && { bytes: Promise.resolve(current.bytes) });
            current = { start: wanted.start, bytes: await wanted.bytes };
            const end = current.start + current.bytes.length;
            next = end < file.size ? load(end) : null;
        }
        return current.bytes.subarray(offset - current.start, offset - current.start + length);
    };
    // Once the job has ended: its windows go to the next.
    read.release = () => {
        spare(current && { bytes: Promise.resolve(current.bytes) });
        spare(next);
        current = next = null;
    };
    return read;
}

// The job's files as the module reads them (Module.host.read and size),
// counting the bytes read, and keeping the first failure to read.
function jobFiles(files) {
    const readers = files.map(fileReader);
    const state = {
        release: () => readers.forEach((reader) => reader.release()),
        bytesRead: 0,
        error: null,
        size: (file) => files[file].size,
        count: () => files.length,
        async read(file, offset, capacity) {
            if (offset >= files[file].size) {
                return new Uint8Array(0);
            }
            try {
                const piece = await readers[file](offset, capacity);
                state.bytesRead += piece.length;
                return piece;
            } catch (error) {
                state.error ??= error;
                return null;
            }
        },
        unreadable: () => new Error(`The file cannot be read (${state.error?.name ?? 'unknown error'}: ${state.error?.message ?? ''}).`),
    };
    return state;
}

// The writer's answers come in the order of the requests.
const waiting = [];
function ask(request) {
    return new Promise((answered) => {
        waiting.push(answered);
        self.postMessage(fromDecoder.store(request), transferred(request));
    });
}

// The WAV file, kept by the writer while the module goes on decoding. The
// samples collect in pieces of 4 MiB, two of them: one is filled while the
// writer stores the other, and it comes back with the answer. The file's
// length is known here, and the header's sizes go into the piece not yet
// sent or with the request that closes the file: a file costs three
// requests, whatever its size, and the module does not wait for the first.
// A file the writer cannot open refuses every write, as a full disk does.
function keptOutput(folderName, fileName, most) {
    let refused = false;
    ask(toWriter.open(folderName, fileName, most)).then((opened) => {
        refused ||= !opened.ok;
    });
    const pieceBytes = 4 * mebibyte;
    const free = [new ArrayBuffer(pieceBytes), new ArrayBuffer(pieceBytes)];
    const writing = [];
    const patches = [];
    let piece = null;
    let used = 0;
    let sent = 0;
    let wav = null;
    let discarded = null;
    const send = () => {
        writing.push(ask(toWriter.write(piece.buffer, used, sent)).then((answer) => {
            refused ||= !answer.ok;
            if (answer.buffer) {
                free.push(answer.buffer);
            }
        }));
        sent += used;
        piece = null;
        used = 0;
    };
    const drain = async () => {
        if (piece !== null && used > 0) {
            send();
        }
        await Promise.all(writing.splice(0));
    };
    return {
        async write(bytes) {
            let from = 0;
            while (from < bytes.length && !refused) {
                if (piece === null) {
                    if (free.length === 0) {
                        await writing.shift();
                        continue;
                    }
                    piece = new Uint8Array(free.pop());
                }
                const take = Math.min(bytes.length - from, piece.length - used);
                piece.set(bytes.subarray(from, from + take), used);
                used += take;
                from += take;
                if (used === piece.length) {
                    send();
                }
            }
            return !refused;
        },
        patch(offset, bytes) {
            if (refused || offset + bytes.length > sent + used) {
                return false;
            }
            if (offset >= sent) {
                piece.set(bytes, offset - sent);
            } else {
                patches.push({ offset, bytes: bytes.slice() });
            }
            return true;
        },
        length: () => (refused ? -1 : sent + used),
        async close() {
            await drain();
            const answer = await ask(toWriter.close(patches));
            wav = answer.file ?? null;
            return answer.ok && !refused;
        },
        discard() {
            discarded = ask(toWriter.discard());
        },
        // The page removes a discarded file, as it does what a cancel left.
        async result() {
            await discarded;
            return discarded === null ? wav : null;
        },
    };
}

// The module, instantiated from what the page compiled; a failure to do so
// rejects, where the glue code alone would wait for good. Each job gives it
// the host it reads and writes through (Module.host).
function instantiate(module) {
    return new Promise((resolve, reject) => {
        createRippers({
            host: null,
            // Never fetched (instantiateWasm has the module), but the glue
            // code cannot resolve a name against the worker's blob: URL.
            locateFile: (name) => name,
            instantiateWasm(imports, receive) {
                WebAssembly.instantiate(module, imports).then((instance) => receive(instance, module), reject);
                return {};
            },
        }).then(resolve, reject);
    });
}

function outline(rippers) {
    const columns = rippers.ccall('outline_columns', 'number', [], []);
    const samples = (name) => {
        const first = rippers.ccall(name, 'number', [], []) >> 1;
        return rippers.HEAP16.slice(first, first + columns);
    };
    return { low: samples('outline_low'), high: samples('outline_high') };
}

// The program's messages as a row keeps them, sent on with the next progress
// report or once enough have gathered: one message per line would flood the
// page.
function messageLog() {
    const log = createLog();
    const decoder = new TextDecoder();
    let pending = '';
    const send = () => {
        if (pending !== '') {
            self.postMessage(fromDecoder.print(pending));
            pending = '';
        }
    };
    return {
        add(bytes) {
            pending += log.add(decoder.decode(bytes));
            if (pending.length >= 64 * 1024) {
                send();
            }
        },
        send,
        end() {
            pending += log.end();
            send();
        },
    };
}

// The text the module's last call left (web_conversion.cpp, reply_text).
function reply(rippers) {
    const at = rippers.ccall('reply_text', 'number', [], []);
    return new TextDecoder().decode(rippers.HEAPU8.subarray(at, at + rippers.ccall('reply_length', 'number', [], [])));
}

// The host a job's module reads, writes and prints through.
function host(files, output, messages) {
    return {
        read: files.read,
        size: files.size,
        files: files.count,
        write: (bytes) => output.current.write(bytes),
        patch: (offset, bytes) => output.current.patch(offset, bytes),
        outputLength: () => output.current.length(),
        closeOutput: () => output.current.close(),
        discardOutput: () => output.current.discard(),
        print: (bytes) => messages.add(bytes),
    };
}

async function convert(rippers, job) {
    const input = jobFiles(job.files);
    try {
        await convertFrom(rippers, input, job);
    } finally {
        input.release();
    }
}

async function convertFrom(rippers, input, { location, name, size, program: chosenProgram, rateSwitch, storage, outputName }) {
    const messages = messageLog();
    const output = { current: null };
    rippers.host = host(input, output, messages);
    const { kind = 0, file = 0, start = 0, sectors = 0, layout = 0, size: located = size } = location ?? {};
    const most = rippers.ccall('locate_input', 'number', Array(6).fill('number'), [kind, file, start, sectors, layout, located]);

    const audio = kind === 2;
    let program = audio ? 'CD audio' : chosenProgram;
    if (program === 'auto') {
        const sorted = await rippers.ccall('sort_input', 'number', [], [], { async: true });
        if (sorted < 0) {
            throw input.unreadable();
        }
        if (sorted === 2) {
            messages.end();
            self.postMessage(fromDecoder.skipped(reply(rippers)));
            return;
        }
        program = sorted === 1 ? 'blockrip' : 'cinerip';
    }
    const useBlockrip = program === 'blockrip' ? 1 : 0;
    const rate = rippers.ccall('program_rate', 'number', ['number', 'number'], [audio ? 2 : useBlockrip, rateSwitch ? 1 : 0]);
    self.postMessage(fromDecoder.program(program, rate, chosenProgram === 'auto' && !audio));

    output.current = keptOutput(storage, outputName, most);
    const readBefore = input.bytesRead;
    let reported = 0;
    const read = input.read;
    input.read = async (...request) => {
        const piece = await read(...request);
        const done = input.bytesRead - readBefore;
        if (done - reported >= 4 * mebibyte || done >= size) {
            reported = done;
            messages.send();
            self.postMessage(fromDecoder.progress(Math.min(done, size), size));
        }
        return piece;
    };
    rippers.host.read = input.read;
    // Named as a user would type it in a shell, so that it is not an option.
    const path = name.startsWith('-') ? `./${name}` : name;
    const status = audio
        ? await rippers.ccall('convert_audio_track', 'number', ['string'], [path], { async: true })
        : await rippers.ccall('convert_file', 'number', ['number', 'number', 'string'],
            [useBlockrip, rateSwitch ? 1 : 0, path], { async: true });
    const wav = await output.current.result();
    messages.end();
    self.postMessage(fromDecoder.done({
        status, wav, rate, frames: rippers.ccall('sound_frames', 'number', [], []), waveform: outline(rippers),
        memory: rippers.HEAPU8.length,
    }));
}

const imageKinds = { iso: 0, bin: 1, cue: 2 };

// Lists a disc image. A cue sheet comes first with the files it may name;
// they are matched to its FILE lines by name, without regard to case.
async function list(rippers, { image, files }) {
    let input = jobFiles(files);
    rippers.host = host(input, { current: null }, messageLog());
    let used = [0];
    if (image === 'cue') {
        if (await rippers.ccall('cue_file_names', 'number', [], [], { async: true }) < 0) {
            throw new Error(`The cue sheet cannot be read: ${reply(rippers)}.`);
        }
        used = reply(rippers).split('\n').filter((name) => name !== '').map((name) => {
            const found = files.findIndex((file, i) => i > 0 && file.name.toLowerCase() === name.toLowerCase());
            if (found < 0) {
                throw new Error(`The cue sheet names ${name}, which was not chosen with it.`);
            }
            return found;
        });
        input = jobFiles([files[0], ...used.map((i) => files[i])]);
        rippers.host = host(input, { current: null }, messageLog());
    }
    if (await rippers.ccall('list_disc', 'number', ['number'], [imageKinds[image]], { async: true }) < 0) {
        throw input.error !== null ? input.unreadable() : new Error(`The disc image cannot be read: ${reply(rippers)}.`);
    }
    self.postMessage(fromDecoder.listed(parseListing(reply(rippers)), used, input.bytesRead));
}

let rippers = null;

// Whatever goes wrong outside the run ends the job with a message.
self.onmessage = ({ data }) => {
    switch (data.type) {
    case toDecoder.start.type:
        rippers = instantiate(data.module);
        rippers.then(() => self.postMessage(workerReady()), (error) => {
            // Thrown outside the promise, it reaches the page as this
            // worker's error: it could not start.
            setTimeout(() => {
                throw error;
            });
        });
        break;
    case toDecoder.stored.type:
        waiting.shift()?.(data.answer);
        break;
    case toDecoder.convert.type:
    case toDecoder.list.type:
        rippers.then((instance) => (data.type === toDecoder.list.type ? list : convert)(instance, data)).catch((error) => {
            const message = error instanceof RangeError || /memory/i.test(String(error))
                ? `The browser ran out of memory: ${error.message}`
                : error.message ?? String(error);
            self.postMessage(fromDecoder.failed(message));
        });
        break;
    default:
        self.postMessage(fromDecoder.failed(`The decoding worker was sent ${JSON.stringify(data.type)}.`));
    }
};
