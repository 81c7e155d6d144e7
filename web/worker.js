// One file's conversion, in a worker of its own, so that the page stays
// responsive and a cancel can end it at once. This is the second half of the
// worker's module: the page puts the module's glue code in front of it
// (rippers.js, which declares createRippers) and hands over the compiled
// module, so a conversion fetches nothing.
//
// Messages to the page: {type: 'program'}, {type: 'print'} and
// {type: 'progress'} while it runs, and {type: 'store'} for the writer, whose
// answers come back as {type: 'stored'}; then one of {type: 'done'}, with the
// program's exit status, and {type: 'failed'}, when something in the browser
// stopped it outside the run.

const mebibyte = 1 << 20;

// Reads the chosen file through a window of 16 MiB, so that the module's
// reads cost a copy rather than a call into the browser, and asks for the
// next window as soon as one arrives, so that the browser reads it while the
// module decodes this one. The whole file is never in memory.
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

// The WAV file, kept by a worker of its own (writer.js) while the module goes
// on decoding: in the origin-private file system where the page has a folder
// there, otherwise in Blobs. The samples collect in pieces of 4 MiB, two of
// them: one is filled while the writer stores the other, and it comes back
// with the answer.
async function keptOutput(folderName, fileName) {
    const waiting = []; // one per request, in order, as the writer answers
    const ask = (request, transfer = []) => new Promise((answered) => {
        waiting.push(answered);
        self.postMessage({ type: 'store', request }, transfer);
    });
    writerAnswered = (answer) => waiting.shift()?.(answer);
    const opened = await ask({ type: 'open', folderName, fileName });
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
        const buffer = piece.buffer;
        writing.push(ask({ type: 'write', buffer, length: used, at: sent }, [buffer]).then((answer) => {
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
            return !refused && offset + bytes.length <= sent && (await ask({ type: 'patch', offset, bytes: bytes.slice() })).ok;
        },
        async length() {
            await drain();
            const answer = await ask({ type: 'size' });
            return answer.ok ? answer.size : -1;
        },
        async close() {
            await drain();
            const answer = await ask({ type: 'close' });
            wav = answer.file ?? null;
            return answer.ok && !refused;
        },
        discard() {
            discarded = ask({ type: 'discard' });
        },
        // The page removes a discarded file, as it does what a cancel left.
        async result() {
            await discarded;
            return discarded === null ? wav : null;
        },
    };
}

// The module, instantiated from what the page compiled; a failure to do so
// rejects, where the glue code alone would wait for good.
function instantiate(module, host) {
    return new Promise((resolve, reject) => {
        createRippers({
            host,
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

async function convert({ module, file, chosenProgram, rateSwitch, storage, outputName }) {
    const read = fileReader(file);
    let readError = null;
    const decoder = new TextDecoder();
    let reported = 0;
    let output = null;
    const host = {
        // The next bytes from `offset`, at most `capacity`; null when the
        // file cannot be read (it went away or changed under the reader).
        async read(offset, capacity) {
            if (offset >= file.size) {
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
            if (output !== null && (done - reported >= 4 * mebibyte || done === file.size)) {
                reported = done;
                self.postMessage({ type: 'progress', done, total: file.size });
            }
            return piece;
        },
        write: (bytes) => output.write(bytes),
        patch: (offset, bytes) => output.patch(offset, bytes),
        outputLength: () => output.length(),
        closeOutput: () => output.close(),
        discardOutput: () => output.discard(),
        print: (bytes) => self.postMessage({ type: 'print', text: decoder.decode(bytes) }),
    };
    const rippers = await instantiate(module, host);

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
    self.postMessage({ type: 'program', program, rate, detected: chosenProgram === 'auto' });

    output = await keptOutput(storage, outputName);
    // Named as a user would type it in a shell, so that it is not an option.
    const path = file.name.startsWith('-') ? `./${file.name}` : file.name;
    const status = await rippers.ccall('convert_file', 'number', ['number', 'number', 'string', 'number'],
        [useBlockrip, rateSwitch ? 1 : 0, path, file.size], { async: true });
    const wav = await output.result();
    self.postMessage({ type: 'done', status, wav, rate, waveform: outline(rippers), memory: rippers.HEAPU8.length });
}

// The writer is started by the page beside this worker, and its requests and
// answers go through the page: in Firefox a channel straight between the two
// workers made the conversion take more than twice as long.
let writerAnswered = null;

// Whatever goes wrong outside the run ends the conversion with a message.
self.onmessage = ({ data }) => {
    if (data.type === 'stored') {
        writerAnswered(data.answer);
        return;
    }
    convert(data).catch((error) => {
        const message = error instanceof RangeError || /memory/i.test(String(error))
            ? `The browser ran out of memory: ${error.message}`
            : error.message ?? String(error);
        self.postMessage({ type: 'failed', message });
    });
};
