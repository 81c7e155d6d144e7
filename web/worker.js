// Converts one file in a worker of its own, so that the page stays responsive
// and a cancel can end the conversion at once. The page builds this worker
// from the module's glue code followed by this file, and hands over the
// module's bytes, so a conversion fetches nothing.
'use strict';

const mebibyte = 1 << 20;

// Reads the dropped file through a window of a few MiB, so that the module's
// small reads cost a copy rather than a call into the browser; the whole
// file is never in memory.
function fileReader(file) {
    const reader = new FileReaderSync();
    let window = new Uint8Array(0);
    let windowStart = 0;
    return (offset, length) => {
        if (offset < windowStart || offset + length > windowStart + window.length) {
            windowStart = offset;
            window = new Uint8Array(reader.readAsArrayBuffer(file.slice(offset, offset + Math.max(length, 4 * mebibyte))));
        }
        return window.subarray(offset - windowStart, offset - windowStart + length);
    };
}

// A video container if every chunk header, walked from the start, has a
// printable 4-byte tag and a size of 8 or more; the last chunk may run past
// the end, and fewer than 8 bytes may follow it. Otherwise a raw stream.
function detectProgram(size, read) {
    for (let offset = 0; offset + 8 <= size;) {
        const header = read(offset, 8);
        if (header.subarray(0, 4).some((byte) => byte < 0x20 || byte > 0x7e)) {
            return 'blockrip';
        }
        const chunkSize = ((header[4] << 24) | (header[5] << 16) | (header[6] << 8) | header[7]) >>> 0;
        if (chunkSize < 8) {
            return 'blockrip';
        }
        offset += chunkSize;
    }
    return 'cinerip';
}

// The smallest and largest sample of each stretch of the sound, for the
// page's picture: at most `columns` stretches of equal length, long enough
// for the most samples the input can give (28 for every 16 bytes).
function waveformSummary(columns, inputBytes) {
    const perColumn = Math.max(1, Math.ceil((inputBytes / 16) * 28 / columns));
    const low = new Int16Array(columns);
    const high = new Int16Array(columns);
    let count = 0;
    return {
        add(samples) {
            for (let at = 0; at < samples.length;) {
                const column = Math.floor(count / perColumn);
                const end = Math.min(samples.length, at + perColumn - (count % perColumn));
                let smallest = count % perColumn === 0 ? samples[at] : low[column];
                let largest = count % perColumn === 0 ? samples[at] : high[column];
                for (let i = at; i < end; ++i) {
                    smallest = Math.min(smallest, samples[i]);
                    largest = Math.max(largest, samples[i]);
                }
                low[column] = smallest;
                high[column] = largest;
                count += end - at;
                at = end;
            }
        },
        result() {
            const used = Math.ceil(count / perColumn);
            return { low: low.slice(0, used), high: high.slice(0, used) };
        },
    };
}

// The WAV file as it leaves the module: the 58-byte header stays here to be
// patched at the end; the samples go into Blobs, which the browser may keep
// on disk.
function wavCollector(waveform) {
    let head = null;
    let parts = [];
    let partBytes = 0;
    const blobs = [];
    let length = 0;
    return {
        wav: null,
        write(bytes) {
            if (head === null) {
                head = bytes.slice();
            } else {
                const copy = bytes.slice();
                waveform.add(new Int16Array(copy.buffer, 0, copy.length >> 1));
                parts.push(copy);
                partBytes += copy.length;
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
            this.wav = new Blob([head ?? new Uint8Array(0), ...blobs, ...parts], { type: 'audio/wav' });
        },
        discard() {
            this.wav = null;
        },
    };
}

self.onmessage = async ({ data }) => {
    const { file, chosenProgram, rateSwitch, wasm } = data;
    const read = fileReader(file);
    const program = chosenProgram === 'auto' ? detectProgram(file.size, read) : chosenProgram;
    self.postMessage({ type: 'program', program, detected: chosenProgram === 'auto' });

    const decoder = new TextDecoder();
    const waveform = waveformSummary(2048, file.size);
    const output = wavCollector(waveform);
    let reported = 0;
    const host = {
        read(offset, into) {
            if (offset >= file.size) {
                return 0;
            }
            let piece;
            try {
                piece = read(offset, into.length);
            } catch {
                return -1; // the file went away or changed under the reader
            }
            into.set(piece);
            const done = offset + piece.length;
            if (done - reported >= 4 * mebibyte || done === file.size) {
                reported = done;
                self.postMessage({ type: 'progress', done, total: file.size });
            }
            return piece.length;
        },
        write: (bytes) => output.write(bytes),
        patch: (offset, bytes) => output.patch(offset, bytes),
        outputLength: () => output.length(),
        closeOutput: () => output.close(),
        discardOutput: () => output.discard(),
        print: (bytes) => self.postMessage({ type: 'print', text: decoder.decode(bytes) }),
    };
    const rippers = await createRippers({ wasmBinary: wasm, host });
    // Named as a user would type it in a shell, so that it is not an option.
    const path = file.name.startsWith('-') ? `./${file.name}` : file.name;
    const status = rippers.ccall('convert_file', 'number', ['number', 'number', 'string'],
        [program === 'blockrip' ? 1 : 0, rateSwitch ? 1 : 0, path]);
    self.postMessage({
        type: 'done',
        status,
        wav: output.wav,
        waveform: waveform.result(),
        memory: rippers.HEAPU8.length,
    });
};
