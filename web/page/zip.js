// "Download all": one ZIP of the WAV files the programs kept, each under its
// input's path with ".wav" added (names.js). Entries are stored as they are
// (WAV data hardly compresses), in ZIP64 where the archive passes 4 GiB, and
// streamed from the files, so that memory stays flat; client-zip writes the
// format.
import { downloadZip } from '../vendor/client-zip/index.js';
import { entryNames } from '../shared/names.js';

// Written to the page's own storage as `fileName` where it has one, so that
// even an archive of gigabytes never sits in memory.
export async function buildZip(rows, storage, fileName) {
    const names = entryNames(rows.map((row) => row.path));
    const response = downloadZip(rows.map((row, i) => ({ name: names[i], input: row.wav })));
    const saved = storage === null ? null : await storage.save(fileName, response.body);
    return saved ?? response.blob();
}
