// The ZIP of every kept WAV file, from "Download all" until the list is
// cleared or another is made: kept in the page's storage, offered by the
// page's link, and let go of (its URL and its file) once it is not.
// `build(rows, storage, fileName)` makes one (zip.js).
import { zipName } from '../shared/names.js';

const megabytes = (bytes) => (bytes / 1e6).toFixed(1);

// `page` holds the link (`zip`) and the `notice`.
export function createZipOffer(page, storage, build) {
    let offered = null; // its URL and its name in storage
    let made = 0;
    let clears = 0;

    function withdraw() {
        if (offered !== null) {
            URL.revokeObjectURL(offered.url);
            storage?.remove(offered.fileName);
            offered = null;
        }
        page.zip.hidden = true;
        page.zip.removeAttribute('href');
    }

    return {
        // The list was cleared: nothing offered, and a ZIP being made is not
        // kept.
        clear() {
            ++clears;
            withdraw();
        },

        // Makes the ZIP of `rows` and offers it, in place of the last.
        async make(rows) {
            const clearsBefore = clears;
            withdraw();
            page.notice.textContent = `Making the ZIP of ${rows.length} WAV files...`;
            const fileName = `download-all-${++made}.zip`;
            let archive = null;
            let failure = null;
            try {
                archive = await build(rows, storage, fileName);
            } catch (error) {
                failure = error;
            }
            if (clears !== clearsBefore || failure !== null) {
                storage?.remove(fileName);
                // Cleared while it was made, the WAV files it was made of are
                // gone, and so is the list it was for.
                page.notice.textContent = clears !== clearsBefore
                    ? 'The ZIP was not kept: the list was cleared while it was made.'
                    : `The ZIP could not be made: ${failure.message}`;
                return;
            }
            offered = { url: URL.createObjectURL(archive), fileName };
            page.zip.href = offered.url;
            page.zip.download = zipName(rows.map((row) => row.path));
            page.zip.textContent = `Save ${page.zip.download} (${megabytes(archive.size)} MB)`;
            page.zip.hidden = false;
            page.notice.textContent = `The ZIP of ${rows.length} WAV files is ready.`;
            page.zip.focus();
        },
    };
}
