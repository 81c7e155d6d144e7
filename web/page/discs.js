// Disc images among the files added: a cue sheet with the .bin files it
// names (chosen with it, or beside it in its folder), a .bin of raw sectors
// (the module looks), or an .iso. Each is listed by a decoding
// worker; its files and CD audio tracks become rows of their own, under the
// image's name without its extension, as if its folder had been dropped.
import { fromDecoder } from '../shared/messages.js';

const extension = (path) => path.slice(path.lastIndexOf('.') + 1).toLowerCase();
const folderPart = (path) => path.slice(0, path.lastIndexOf('/') + 1);
const withoutExtension = (path) => (path.lastIndexOf('.') > path.lastIndexOf('/')
    ? path.slice(0, path.lastIndexOf('.'))
    : path);

// The rows an image's listing gives, read from `files`: each under the
// image's path without its extension.
export function imageSources(imagePath, entries, files) {
    const top = withoutExtension(imagePath);
    return entries.map(({ path, reason, location, span }) => ({
        path: `${top}/${path}`,
        name: path.slice(path.lastIndexOf('/') + 1),
        size: span,
        files: location === null ? [] : files,
        location,
        reason,
    }));
}

// The cue sheets among the files, each with the files it may name: those
// in its folder.
export function cueSheets(sources) {
    return sources.filter((source) => extension(source.path) === 'cue').map((cue) => ({
        cue,
        candidates: sources.filter((other) => other !== cue && folderPart(other.path) === folderPart(cue.path)),
    }));
}

// The type of disc image a file may be, by its name, or null: a .bin is one
// only where its listing finds raw sectors.
function imageTypeOf({ path }) {
    const type = extension(path);
    return type === 'iso' || type === 'bin' ? type : null;
}

// Sorts out the files added: what is a disc image, listed by `list(image,
// files)` (a promise of the worker's last message), and what is converted
// as it is. Resolves to the sources of rows to add, and the images that
// cannot be read, each with its path and why.
export async function readImages(sources, list) {
    const claimed = new Set();
    const listings = [];
    for (const { cue, candidates } of cueSheets(sources)) {
        claimed.add(cue);
        const files = [cue.files[0], ...candidates.map((candidate) => candidate.files[0])];
        const ended = await list('cue', files);
        for (const used of ended.used ?? []) {
            claimed.add(candidates[used - 1]);
        }
        listings.push({ path: cue.path, ended, files });
    }
    const rows = [];
    for (const source of sources.filter((each) => !claimed.has(each))) {
        const image = imageTypeOf(source);
        if (image === null) {
            rows.push(source);
        } else {
            listings.push({ path: source.path, ended: await list(image, source.files), files: source.files, source });
        }
    }
    const failed = [];
    for (const { path, ended, files, source } of listings) {
        if (ended.type === fromDecoder.listed.type && !ended.image) {
            rows.push(source);
        } else if (ended.type === fromDecoder.listed.type) {
            for (const entry of imageSources(path, ended.entries, ended.used.map((i) => files[i]))) {
                rows.push(entry);
            }
        } else {
            const name = path.slice(path.lastIndexOf('/') + 1);
            failed.push({ path, name, size: 0, files: [], location: null, message: ended.message });
        }
    }
    return { rows, failed };
}
