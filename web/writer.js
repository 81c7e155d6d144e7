// Writes one WAV file into the origin-private file system for the worker
// that converts it, so that the browser writes one piece while the module
// decodes the next: a synchronous write holds up the thread that makes it.
//
// Requests come one at a time and are answered in the order they came:
// {type: 'open'}, then {type: 'write'} with a buffer that goes back with the
// answer, {type: 'patch'}, {type: 'size'}, {type: 'close'} and
// {type: 'discard'}. Each answer says `ok`; a write the browser refuses
// (the storage is full, say) answers false, and so does every one after it.

let access = null;
let refused = false;

function attempt(step) {
    if (refused || access === null) {
        return false;
    }
    try {
        return step();
    } catch {
        refused = true;
        return false;
    }
}

async function open({ folderName, fileName }) {
    try {
        const root = await navigator.storage.getDirectory();
        const folder = await root.getDirectoryHandle(folderName, { create: true });
        const handle = await folder.getFileHandle(fileName, { create: true });
        access = await handle.createSyncAccessHandle();
        access.truncate(0);
        return { ok: true };
    } catch (error) {
        return { ok: false, message: `${error.name}: ${error.message}` };
    }
}

function close() {
    const closing = access;
    access = null;
    try {
        closing?.flush();
        closing?.close();
        return closing !== null;
    } catch {
        return false;
    }
}

const answers = {
    write: ({ buffer, length, at }) => ({
        ok: attempt(() => access.write(new Uint8Array(buffer, 0, length), { at }) === length),
        buffer,
    }),
    patch: ({ offset, bytes }) => ({ ok: attempt(() => access.write(bytes, { at: offset }) === bytes.length) }),
    size: () => {
        const size = attempt(() => access.getSize());
        return { ok: size !== false, size };
    },
    close: () => ({ ok: close() && !refused }),
    discard: () => {
        close();
        return { ok: true };
    },
};

self.onmessage = async ({ data }) => {
    if (data.type === 'open') {
        self.postMessage(await open(data));
        return;
    }
    const answer = answers[data.type](data);
    self.postMessage(answer, answer.buffer ? [answer.buffer] : []);
};
