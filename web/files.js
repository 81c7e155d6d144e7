// The files the user chose or dropped, each with its path as the browser
// gives it: the name of a single file, or the path within a chosen or
// dropped folder (DISC1/MOVIES/INTRO.STR).

export function chosenFiles(input) {
    return [...input.files].map((file) => ({ file, path: file.webkitRelativePath || file.name }));
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
        return [{ file, path: entry.fullPath.replace(/^\//, '') }];
    }
    const found = [];
    for (const child of await folderEntries(entry)) {
        found.push(...await entryFiles(child));
    }
    return found;
}

// What was dropped. The items must be taken while the drop event lasts; their
// contents may be read afterwards.
export function droppedFiles(dataTransfer) {
    const entries = [...dataTransfer.items].filter((item) => item.kind === 'file')
        .map((item) => item.webkitGetAsEntry?.() ?? item.getAsFile());
    return Promise.all(entries.map((entry) => (entry instanceof File
        ? [{ file: entry, path: entry.name }]
        : entryFiles(entry)))).then((lists) => lists.flat());
}

const collator = new Intl.Collator(undefined, { numeric: true });

export function byPath(a, b) {
    return collator.compare(a.path, b.path);
}
