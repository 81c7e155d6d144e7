// The names the page gives things: the order of the rows, the entries of the
// ZIP and the ZIP itself.

const collator = new Intl.Collator(undefined, { numeric: true });

// Paths in the order a person sorts them: DISC1/TRACK2 before DISC1/TRACK10.
export function byPath(a, b) {
    return collator.compare(a.path, b.path);
}

// Each path with ".wav" added; where that name is taken already, by an
// earlier path or by a name made here, a number goes before ".wav", the
// lowest that is free. Names are compared without regard to case, as the
// file systems of Windows and macOS compare them when the ZIP is unpacked.
export function entryNames(paths) {
    const taken = new Set();
    const take = (name) => {
        taken.add(name.toLowerCase());
        return name;
    };
    const free = (name) => !taken.has(name.toLowerCase());
    // Every path's own name first, so that a path never loses its name to a
    // number added to another.
    const own = paths.map((path) => {
        const name = `${path}.wav`;
        return free(name) ? take(name) : null;
    });
    const tried = new Map(); // the last number given to each path
    return paths.map((path, i) => {
        if (own[i] !== null) {
            return own[i];
        }
        for (let number = (tried.get(path) ?? 1) + 1; ; ++number) {
            const name = `${path} (${number}).wav`;
            if (free(name)) {
                tried.set(path, number);
                return take(name);
            }
        }
    });
}

// Named after the folder that all the files came from, if they did.
export function zipName(paths) {
    const folders = new Set(paths.map((path) => (path.includes('/') ? path.slice(0, path.indexOf('/')) : '')));
    const [folder] = folders;
    return folders.size === 1 && folder !== '' ? `${folder}.zip` : 'wav-files.zip';
}
