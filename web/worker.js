// One file's conversion, in a worker of its own, so that the page stays
// responsive and a cancel can end it at once. This is the second half of the
// worker's module: the page puts the module's glue code in front of it
// (rippers.js, which declares createRippers) and hands over the compiled
// module, so a conversion fetches nothing.
//
// Messages to the page: {type: 'program'}, {type: 'print'} and
// {type: 'progress'} while it runs, then one of {type: 'done'}, with the
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

// The WAV file in the origin-private file system, written in place from the
// module's memory.
async function fileSystemOutput(folderName, fileName) {
    const root = await navigator.storage.getDirectory();
    const folder = await root.getDirectoryHandle(folderName, { create: true });
    const handle = await folder.getFileHandle(fileName, { create: true });
    const access = await handle.createSyncAccessHandle();
    access.truncate(0);
    let length = 0;
    let discarded = false;
    // A write the browser refuses (the storage is full, say) is a failed
    // write to the run, which says so and discards the file.
    const refused = (write) => {
        try {
            return write();
        } catch {
            return false;
        }
    };
    return {
        write: (bytes) => refused(() => {
            const written = access.write(bytes, { at: length });
            length += written;
            return written === bytes.length;
        }),
        patch: (offset, bytes) => refused(() => offset + bytes.length <= length &&
            access.write(bytes, { at: offset }) === bytes.length),
        length: () => access.getSize(),
        close: () => refused(() => {
            access.flush();
            access.close();
            return true;
        }),
        discard() {
            refused(() => access.close());
            discarded = true;
        },
        async result() {
            if (discarded) {
                await folder.removeEntry(fileName);
                return null;
            }
            return handle.getFile();
        },
    };
}

// The WAV file in Blobs, which the browser may keep on disk: the header stays
// here to be patched at the end.
function blobOutput() {
    let head = null;
    let parts = [];
    let partBytes = 0;
    const blobs = [];
    let length = 0;
    let wav = null;
    return {
        write(bytes) {
            if (head === null) {
                head = bytes.slice();
            } else {
                parts.push(bytes.slice());
                partBytes += bytes.length;
                if (partBytes >= 16 * mebibyte) {
                    blobs.push(new Blob(parts));
                    parts = [];
                    partBytes = 0;
                }
            }
            length += bytes.length;
            return true;
        },
        patch(offset, bytes) {
            if (head === null || offset + bytes.length > head.length) {
                return false;
            }
            head.set(bytes, offset);
            return true;
        },
        length: () => length,
        close() {
            wav = new Blob([head ?? new Uint8Array(0), ...blobs, ...parts], { type: 'audio/wav' });
            return true;
        },
        discard() {
            wav = null;
        },
        result: async () => wav,
    };
}

function canWriteInPlace() {
    return typeof navigator.storage?.getDirectory === 'function' && typeof FileSystemSyncAccessHandle === 'function';
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

    output = storage !== null && canWriteInPlace() ? await fileSystemOutput(storage, outputName) : blobOutput();
    // Named as a user would type it in a shell, so that it is not an option.
    const path = file.name.startsWith('-') ? `./${file.name}` : file.name;
    const status = await rippers.ccall('convert_file', 'number', ['number', 'number', 'string', 'number'],
        [useBlockrip, rateSwitch ? 1 : 0, path, file.size], { async: true });
    const wav = await output.result();
    self.postMessage({ type: 'done', status, wav, rate, waveform: outline(rippers), memory: rippers.HEAPU8.length });
}

// Whatever goes wrong outside the run ends the conversion with a message.
self.onmessage = ({ data }) => {
    convert(data).catch((error) => {
        const message = error instanceof RangeError || /memory/i.test(String(error))
            ? `The browser ran out of memory: ${error.message}`
            : error.message ?? String(error);
        self.postMessage({ type: 'failed', message });
    });
};
