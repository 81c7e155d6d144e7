// The job's files as the module reads them: large reads through windows of
// 16 MiB read ahead, small ones as they come. The whole file is never in
// memory.
const mebibyte = 1 << 20;

export const windowBytes = 16 * mebibyte;

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

function spare(buffer) {
    if (reusable && spareWindows.length < 2) {
        spareWindows.push(buffer);
    }
}

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

// Reads a file through a window where the module reads in full pieces
// (1 MiB), so that its reads cost a copy rather than a call into the
// browser, and asks for the next window as soon as one arrives, so that the
// browser reads it while the module decodes this one. A smaller read (a disc
// image's directory, a sample of a file being sorted) takes what it asks
// for and no more.
function windowedReader(file) {
    const load = (start) => {
        const bytes = readWindow(file, start, Math.min(windowBytes, file.size - start));
        bytes.catch(() => {}); // seen when awaited
        return { start, bytes };
    };
    const letGo = (window) => window?.bytes.then((bytes) => spare(bytes.buffer), () => {});
    let current = null;
    let next = null;
    const read = async (offset, length) => {
        const inWindow = current !== null && offset >= current.start &&
            offset + length <= current.start + current.bytes.length;
        if (!inWindow && length < mebibyte) {
            return new Uint8Array(await file.slice(offset, offset + length).arrayBuffer());
        }
        if (!inWindow) {
            const wanted = next !== null && next.start === offset ? next : load(offset);
            if (wanted !== next) {
                letGo(next);
            }
            if (current !== null) {
                spare(current.bytes.buffer);
            }
            current = { start: wanted.start, bytes: await wanted.bytes };
            const end = current.start + current.bytes.length;
            next = end < file.size ? load(end) : null;
        }
        return current.bytes.subarray(offset - current.start, offset - current.start + length);
    };
    // Once the job has ended: its windows go to the next.
    const release = () => {
        if (current !== null) {
            spare(current.bytes.buffer);
        }
        letGo(next);
        current = next = null;
    };
    return { read, release };
}

// The job's files: what the module's host reads (read, size, count), how
// many bytes were read, and the first failure to read, kept for the job's
// message. `onRead(bytesRead)` hears of every read.
export function jobFiles(files, onRead = () => {}) {
    const readers = files.map(windowedReader);
    const state = {
        bytesRead: 0,
        error: null,
        size: (file) => files[file].size,
        count: () => files.length,
        async read(file, offset, capacity) {
            if (offset >= files[file].size) {
                return new Uint8Array(0);
            }
            try {
                const piece = await readers[file].read(offset, capacity);
                state.bytesRead += piece.length;
                onRead(state.bytesRead);
                return piece;
            } catch (error) {
                state.error ??= error;
                return null;
            }
        },
        unreadable: () => new Error(
            `The file cannot be read (${state.error?.name ?? 'unknown error'}: ${state.error?.message ?? ''}).`),
        release: () => readers.forEach((reader) => reader.release()),
    };
    return state;
}
