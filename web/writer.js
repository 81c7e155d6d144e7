// Keeps one WAV file for the worker that converts it, so that the browser
// stores one piece while the module decodes the next: writing to the
// browser's storage holds up the thread that does it. The page starts it
// beside that worker and passes their messages on.
//
// Requests are answered one at a time, in the order they came: {type:
// 'open'}, then {type: 'write'} with a buffer that goes back with the answer,
// {type: 'patch'}, {type: 'size'}, {type: 'close'}, which answers with the
// file, and {type: 'discard'}. Each answer says `ok`. Once the browser
// refuses a write (the storage is full, say), every answer after it is false.

// The origin-private file system, written in place, where this worker can.
async function fileTarget(folderName, fileName) {
    const root = await navigator.storage.getDirectory();
    const folder = await root.getDirectoryHandle(folderName, { create: true });
    const handle = await folder.getFileHandle(fileName, { create: true });
    const access = await handle.createSyncAccessHandle();
    access.truncate(0);
    return {
        write: (bytes, at) => access.write(bytes, { at }) === bytes.length,
        patch: (offset, bytes) => access.write(bytes, { at: offset }) === bytes.length,
        size: () => access.getSize(),
        async close() {
            access.flush();
            access.close();
            return handle.getFile();
        },
        discard: () => access.close(),
    };
}

// Blobs, which the browser may keep on disk; the first piece, with the
// header, stays here to be patched at the end.
function blobTarget() {
    let head = null;
    const pieces = [];
    let length = 0;
    return {
        write(bytes, at) {
            if (at !== length) {
                return false;
            }
            if (head === null) {
                head = bytes.slice();
            } else {
                pieces.push(new Blob([bytes]));
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
        size: () => length,
        close: async () => new Blob([head ?? new Uint8Array(0), ...pieces], { type: 'audio/wav' }),
        discard() {
            pieces.length = 0;
        },
    };
}

let target = null;
let refused = false;

async function attempt(step) {
    if (refused || target === null) {
        return false;
    }
    try {
        const result = await step();
        refused = result === false;
        return result;
    } catch {
        refused = true;
        return false;
    }
}

const answers = {
    async open({ folderName, fileName }) {
        try {
            const inPlace = typeof navigator.storage?.getDirectory === 'function' &&
                typeof FileSystemSyncAccessHandle === 'function';
            target = folderName !== null && inPlace
                ? await fileTarget(folderName, fileName)
                : blobTarget();
            return { ok: true };
        } catch (error) {
            return { ok: false, message: `${error.name}: ${error.message}` };
        }
    },
    write: async ({ buffer, length, at }) => ({ ok: await attempt(() => target.write(new Uint8Array(buffer, 0, length), at)), buffer }),
    patch: async ({ offset, bytes }) => ({ ok: await attempt(() => target.patch(offset, bytes)) }),
    async size() {
        const size = await attempt(() => target.size());
        return { ok: size !== false, size };
    },
    // Closed even after a refused write, so that the page can remove it.
    async close() {
        const closing = target;
        target = null;
        try {
            const file = await closing.close();
            return { ok: !refused, file };
        } catch {
            return { ok: false };
        }
    },
    discard() {
        try {
            target?.discard();
        } catch {
            // already closed
        }
        target = null;
        return { ok: true };
    },
};

// One request at a time, even where answering one waits.
let answering = Promise.resolve();
self.onmessage = ({ data }) => {
    answering = answering.then(async () => {
        const answer = await answers[data.type](data);
        self.postMessage(answer, answer.buffer ? [answer.buffer] : []);
    });
};
