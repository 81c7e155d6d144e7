// Keeps the WAV files of one decoding worker, one after another, so that the
// browser stores one piece while the module decodes the next: writing to the
// browser's storage holds up the thread that does it. The page starts it
// beside that worker and passes their messages on (messages.js, toWriter).
import { answer, toWriter, transferred, workerReady } from '../shared/messages.js';

// The page's folders in the origin-private file system, found once.
const folders = new Map();
function storageFolder(name) {
    if (!folders.has(name)) {
        const found = navigator.storage.getDirectory().then((root) => root.getDirectoryHandle(name, { create: true }));
        found.catch(() => folders.delete(name)); // tried again for the next file
        folders.set(name, found);
    }
    return folders.get(name);
}

// The origin-private file system, written in place, where this worker can.
async function fileTarget(folderName, fileName) {
    const folder = await storageFolder(folderName);
    const handle = await folder.getFileHandle(fileName, { create: true });
    const access = await handle.createSyncAccessHandle();
    access.truncate(0);
    return {
        write: (bytes, at) => access.write(bytes, { at }) === bytes.length,
        patch: (offset, bytes) => access.write(bytes, { at: offset }) === bytes.length,
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
export function blobTarget() {
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
        close: async () => new Blob([head ?? new Uint8Array(0), ...pieces], { type: 'audio/wav' }),
        discard() {
            pieces.length = 0;
        },
    };
}

// A WAV file smaller than this is kept in Blobs: opening and closing a file
// of the browser's file system costs milliseconds, and more as it holds more
// files, which for thousands of small files was most of the page's time.
const smallFile = 1 << 20;

// One file's target and whether the browser refused it anything; a refused
// step is not tried again. A request that fails throws, and answerInOrder
// answers it as not ok, as every failure in the page's threads becomes a
// message only at the thread's edge.
function createWriter() {
    let target = null;
    let refused = false;

    const attempt = async (step) => {
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
    };

    return {
        async [toWriter.open.type]({ folderName, fileName, maxBytes }) {
            target = null;
            refused = false;
            const inPlace = typeof navigator.storage?.getDirectory === 'function' &&
                typeof FileSystemSyncAccessHandle === 'function';
            target = folderName !== null && inPlace && maxBytes >= smallFile
                ? await fileTarget(folderName, fileName) : blobTarget();
            return answer(true);
        },
        [toWriter.write.type]: async ({ buffer, length, at }) =>
            answer(await attempt(() => target.write(new Uint8Array(buffer, 0, length), at)), { buffer }),
        // The patches first; closed even after a refused write, so that the
        // page can remove it.
        async [toWriter.close.type]({ patches }) {
            for (const { offset, bytes } of patches) {
                await attempt(() => target.patch(offset, bytes));
            }
            const closing = target;
            target = null;
            if (closing === null) {
                throw new Error('no file is open');
            }
            return answer(!refused, { file: await closing.close() });
        },
        [toWriter.discard.type]() {
            try {
                target?.discard();
            } catch {
                // already closed
            }
            target = null;
            return answer(true);
        },
    };
}

// Answers requests one at a time, in the order they came, even where
// answering one waits. Whatever goes wrong with one request (an unknown type,
// a handler that throws, an answer that cannot be posted) is answered as a
// failure, so that its asker and every request after it still hear back.
export function answerInOrder(handlers, post) {
    let answering = Promise.resolve();
    return (request) => {
        answering = answering.then(async () => {
            let reply;
            try {
                const handle = handlers[request?.type];
                if (typeof handle !== 'function') {
                    throw new Error(`unknown request ${JSON.stringify(request?.type)}`);
                }
                reply = await handle(request);
            } catch (error) {
                reply = answer(false, { message: String(error?.message ?? error) });
            }
            try {
                post(reply, transferred(reply));
            } catch (error) {
                post(answer(false, { message: `the answer could not be sent: ${error.message}` }), []);
            }
        }).catch((error) => {
            // Not even a failure could be sent: thrown outside the chain, it
            // reaches the page as the worker's error, which ends the job.
            setTimeout(() => {
                throw error;
            });
        });
    };
}

if (globalThis.WorkerGlobalScope !== undefined && self instanceof WorkerGlobalScope) {
    const receive = answerInOrder(createWriter(), (reply, transfer) => self.postMessage(reply, transfer));
    self.onmessage = ({ data }) => receive(data);
    self.postMessage(workerReady());
}
