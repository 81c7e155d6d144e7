// A decoding worker: the converters' module, instantiated once from what the
// page compiled and kept for every file this worker is given, one at a time,
// so that the page stays responsive and a cancel can end a conversion at
// once. The page starts it beside a writer (writer.js) and passes their
// messages on; messages.js defines them all.
import createRippers from './rippers.js';
import { createLog } from './log.js';
import { fromDecoder, toDecoder, toWriter, transferred } from './messages.js';

const mebibyte = 1 << 20;

// Reads a file through a window of 16 MiB, so that the module's reads cost a
// copy rather than a call into the browser, and asks for the next window as
// soon as one arrives, so that the browser reads it while the module decodes
// this one. The whole file is never in memory.
function fileReader(file) {
    const windowBytes = 16 * mebibyte;
    const load = (start) => {
        const bytes = file.slice(start, start + windowBytes).arrayBuffer().then((buffer) => new Uint8Array(buffer));
        bytes.catch(() => {}); // seen when awaited
        return { start, bytes };
    };
    let current = null;
    let next = null;
    return async (offset, length) => {
        if (current === null || offset < current.start || offset + length > current.start + current.bytes.length) {
            const wanted = next !== null && next.start === offset ? next : load(offset);
            current = { start: wanted.start, bytes: await wanted.bytes };
            const end = current.start + current.bytes.length;
            next = end < file.size ? load(end) : null;
        }
        return current.bytes.subarray(offset - current.start, offset - current.start + length);
    };
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
// writer stores the other, and it comes back with the answer.
async function keptOutput(folderName, fileName) {
    const opened = await ask(toWriter.open(folderName, fileName));
    if (!opened.ok) {
        throw new Error(`The WAV file cannot be kept: ${opened.message ?? 'its writer could not start'}.`);
    }

    const pieceBytes = 4 * mebibyte;
    const free = [new ArrayBuffer(pieceBytes), new ArrayBuffer(pieceBytes)];
    const writing = [];
    let piece = null;
    let used = 0;
    let sent = 0;
    let refused = false;
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
        async patch(offset, bytes) {
            await drain();
            return !refused && offset + bytes.length <= sent && (await ask(toWriter.patch(offset, bytes.slice()))).ok;
        },
        async length() {
            await drain();
            const answer = await ask(toWriter.size());
            return answer.ok ? answer.size : -1;
        },
        async close() {
            await drain();
            const answer = await ask(toWriter.close());
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

async function convert(rippers, { files, name, size, program: chosenProgram, rateSwitch, storage, outputName }) {
    const [file] = files;
    const read = fileReader(file);
    let readError = null;
    const messages = messageLog();
    let reported = 0;
    let output = null;
    rippers.host = {
        // The next bytes from `offset`, at most `capacity`; null when the
        // file cannot be read (it went away or changed under the reader).
        async read(offset, capacity) {
            if (offset >= size) {
                return new Uint8Array(0);
            }
            let piece;
            try {
                piece = await read(offset, capacity);
            } catch (error) {
                readError = error;
                return null;
            }
            const done = offset + piece.length;
            if (output !== null && (done - reported >= 4 * mebibyte || done === size)) {
                reported = done;
                messages.send();
                self.postMessage(fromDecoder.progress(done, size));
            }
            return piece;
        },
        write: (bytes) => output.write(bytes),
        patch: (offset, bytes) => output.patch(offset, bytes),
        outputLength: () => output.length(),
        closeOutput: () => output.close(),
        discardOutput: () => output.discard(),
        print: (bytes) => messages.add(bytes),
    };

    let program = chosenProgram;
    if (program === 'auto') {
        const guessed = await rippers.ccall('guess_program', 'number', [], [], { async: true });
        if (guessed < 0) {
            throw new Error(`The file cannot be read (${readError?.name ?? 'unknown error'}: ${readError?.message ?? ''}).`);
        }
        program = guessed === 1 ? 'blockrip' : 'cinerip';
    }
    const useBlockrip = program === 'blockrip' ? 1 : 0;
    const rate = rippers.ccall('program_rate', 'number', ['number', 'number'], [useBlockrip, rateSwitch ? 1 : 0]);
    self.postMessage(fromDecoder.program(program, rate, chosenProgram === 'auto'));

    output = await keptOutput(storage, outputName);
    // Named as a user would type it in a shell, so that it is not an option.
    const path = name.startsWith('-') ? `./${name}` : name;
    const status = await rippers.ccall('convert_file', 'number', ['number', 'number', 'string', 'number'],
        [useBlockrip, rateSwitch ? 1 : 0, path, size], { async: true });
    const wav = await output.result();
    messages.end();
    self.postMessage(fromDecoder.done({
        status, wav, rate, frames: rippers.ccall('sound_frames', 'number', [], []), waveform: outline(rippers),
        memory: rippers.HEAPU8.length,
    }));
}

let rippers = null;

// Whatever goes wrong outside the run ends the job with a message.
self.onmessage = ({ data }) => {
    switch (data.type) {
    case toDecoder.start.type:
        rippers = instantiate(data.module);
        rippers.catch(() => {}); // seen by each job
        break;
    case toDecoder.stored.type:
        waiting.shift()?.(data.answer);
        break;
    case toDecoder.convert.type:
        rippers.then((instance) => convert(instance, data)).catch((error) => {
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
