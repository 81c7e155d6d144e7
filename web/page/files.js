// The files the user chose or dropped, each with its path as the browser
// gives it: the name of a single file, or the path within a chosen or
// dropped folder (DISC1/MOVIES/INTRO.STR).

// What a row converts: the `path` it is listed under, the `name` the program
// is given, the `size` of its bytes, and where they are: in `files`, at
// `location` (null: the whole of the first).
export function looseFile(file, path) {
    return { path, name: file.name, size: file.size, files: [file], location: null };
}

export function chosenFiles(input) {
    return [...input.files].map((file) => looseFile(file, file.webkitRelativePath || file.name));
}

// A folder's entries come in batches (Chromium's are 100 long) until an
// empty one.
async function folderEntries(folder) {
    const reader = folder.createReader();
    const entries = [];
    for (;;) {
        const batch = await new Promise((resolve, reject) => reader.readEntries(resolve, reject));
        if (batch.length === 0) {
            return entries;
        }
        entries.push(...batch);
    }
}

export async function entryFiles(entry) {
    if (entry.isFile) {
        const file = await new Promise((resolve, reject) => entry.file(resolve, reject));
        return [looseFile(file, entry.fullPath.replace(/^\//, ''))];
    }
    const found = [];
    for (const child of await folderEntries(entry)) {
        for (const file of await entryFiles(child)) {
            found.push(file);
        }
    }
    return found;
}

// What was dropped. The items must be taken while the drop event lasts; their
// contents may be read afterwards.
export function droppedFiles(dataTransfer) {
    const entries = [...dataTransfer.items].filter((item) => item.kind === 'file')
        .map((item) => item.webkitGetAsEntry?.() ?? item.getAsFile());
    return Promise.all(entries.map((entry) => (entry instanceof File
        ? [looseFile(entry, entry.name)]
        : entryFiles(entry)))).then((lists) => lists.flat());
}

const stemOf = (path) => path.slice(0, path.lastIndexOf('.')).toLowerCase();
const extensionOf = (path) => path.slice(path.lastIndexOf('.') + 1).toLowerCase();

// Each sound bank's header (.VH) with its body (.VB): the file of the same
// name in the same folder, matched without regard to case, loose or in the
// same disc image. The pair becomes one source, the header's, with `body`
// saying where the .VB lies; the .VB is no source of its own.
export function pairSoundBanks(sources) {
    const bodies = new Map();
    for (const source of sources) {
        if (extensionOf(source.path) === 'vb') {
            bodies.set(stemOf(source.path), source);
        }
    }
    const claimed = new Set();
    const paired = sources.map((source) => {
        const body = extensionOf(source.path) === 'vh' ? bodies.get(stemOf(source.path)) : undefined;
        const loose = body?.location === null && source.location === null;
        if (body === undefined || (!loose && body.files !== source.files)) {
            return source;
        }
        claimed.add(body);
        return {
            ...source,
            size: source.size + body.size,
            files: loose ? [...source.files, ...body.files] : source.files,
            body: loose
                ? { kind: 'wholeFile', file: 1, start: 0, sectors: 0, layout: 'raw', size: body.size, form2: false }
                : body.location,
        };
    });
    return paired.filter((source) => !claimed.has(source));
}
