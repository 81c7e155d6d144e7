// "Download all": one ZIP of the WAV files the programs kept, each under its
// input's path with ".wav" added. Entries are stored as they are (WAV data
// hardly compresses), in ZIP64 where the archive passes 4 GiB, and streamed
// from the files, so that memory stays flat; client-zip writes the format.
import { downloadZip } from './vendor/client-zip/index.js';

// A number goes before ".wav" where two paths are the same.
export function entryNames(paths) {
    const taken = new Map();
    return paths.map((path) => {
        const count = (taken.get(path) ?? 0) + 1;
        taken.set(path, count);
        return count === 1 ? `${path}.wav` : `${path} (${count}).wav`;
    });
}

// Named after the folder that all the files came from, if they did.
export function zipName(paths) {
    const folders = new Set(paths.map((path) => (path.includes('/') ? path.slice(0, path.indexOf('/')) : '')));
    const [folder] = folders;
    return folders.size === 1 && folder !== '' ? `${folder}.zip` : 'wav-files.zip';
}

const savedName = 'download-all.zip';

// Written to the page's own storage where it has one, so that even an
// archive of gigabytes never sits in memory.
export async function buildZip(files, storage) {
    const names = entryNames(files.map((file) => file.path));
    const response = downloadZip(files.map((file, i) => ({ name: names[i], input: file.wav })));
    const saved = storage === null ? null : await storage.save(savedName, response.body);
    return saved ?? response.blob();
}

export function removeZip(storage) {
    storage?.remove(savedName);
}
