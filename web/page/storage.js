// Where the page keeps its WAV files and its ZIP: a folder of its own in the
// origin-private file system, held by a lock while the page is open, so that
// each page clears what pages no longer open left behind and nothing else.
// Null where the browser has no such file system; the files then stay in
// Blobs.

const prefix = 'rippers-page-';

function holdForever(name) {
    return new Promise((granted) => {
        navigator.locks.request(name, () => {
            granted();
            return new Promise(() => {});
        });
    });
}

// A file that a stopped worker held can be removed only once the browser has
// let go of it, a moment after the worker ends. One still held after some
// seconds goes with the page's folder, which the next page clears.
async function removeFile(folder, fileName) {
    for (let attempt = 1; attempt <= 20; ++attempt) {
        try {
            await folder.removeEntry(fileName);
            return;
        } catch (error) {
            if (error.name === 'NotFoundError') {
                return;
            }
        }
        await new Promise((resolve) => setTimeout(resolve, 25 * attempt));
    }
}

export async function openStorage() {
    if (typeof navigator.storage?.getDirectory !== 'function' || !navigator.locks) {
        return null;
    }
    let root;
    try {
        root = await navigator.storage.getDirectory();
    } catch {
        return null; // refused, as in some private windows
    }
    const name = `${prefix}${crypto.randomUUID()}`;
    await holdForever(name);
    const folder = await root.getDirectoryHandle(name, { create: true });
    const held = new Set((await navigator.locks.query()).held.map((lock) => lock.name));
    for await (const entry of root.keys()) {
        if (entry.startsWith(prefix) && !held.has(entry)) {
            await root.removeEntry(entry, { recursive: true }).catch(() => {});
        }
    }
    return {
        name,
        // A file of the page's, written whole from a stream.
        async save(fileName, stream) {
            const handle = await folder.getFileHandle(fileName, { create: true });
            if (typeof handle.createWritable !== 'function') {
                return null;
            }
            await stream.pipeTo(await handle.createWritable());
            return handle.getFile();
        },
        remove: (fileName) => removeFile(folder, fileName),
    };
}
