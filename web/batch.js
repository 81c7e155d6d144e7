// The batch: every file chosen or dropped, as rows in path order, converted
// one after another; above them where the batch stands, and what can be done
// with all of it at once.
import { byPath } from './files.js';
import { createRow } from './rows.js';
import { buildZip, removeZip, zipName } from './zip.js';

const megabytes = (bytes) => (bytes / 1e6).toFixed(1);

// `page` holds the batch's elements; `converter` is a promise of the
// converter; `storage` is the page's file storage, or null.
export function createBatch(page, converter, storage) {
    const rows = [];
    let running = null;
    let zipUrl = null;
    let outputs = 0;

    function showSummary() {
        const counts = { done: 0, other: 0, failed: 0, cancelled: 0, waiting: 0 };
        for (const row of rows) {
            if (row.state === 'waiting') {
                ++counts.waiting;
            } else if (row.state === 'ended') {
                const kind = row.status === 0 ? 'done' : typeof row.status === 'number' ? 'other' : row.status;
                ++counts[kind];
            }
        }
        for (const [kind, count] of Object.entries(counts)) {
            page.counts[kind].textContent = String(count);
        }
        const total = rows.reduce((sum, row) => sum + row.file.size, 0);
        const done = rows.reduce((sum, row) => sum + row.bytesDone, 0);
        page.bytes.textContent = rows.length === 0 ? 'No files yet.'
            : `${megabytes(done)} of ${megabytes(total)} MB converted${running ? `; converting ${running.path}` : '.'}`;
        page.cancelAll.disabled = running === null && counts.waiting === 0;
        page.clear.disabled = rows.length === 0;
        page.downloadAll.disabled = !rows.some((row) => row.wav !== null);
    }

    async function convert(row) {
        // A cancel may come while the converter is still loading.
        let cancelled = false;
        row.cancelConversion = () => {
            cancelled = true;
        };
        let ready;
        try {
            ready = await converter;
        } catch (error) {
            return { type: 'failed', message: `The converter cannot be loaded: ${error.message}` };
        }
        if (cancelled) {
            return { type: 'cancelled' };
        }
        const conversion = ready.start({
            file: row.file,
            chosenProgram: row.settings.program,
            rateSwitch: row.settings.rateSwitch,
            storage: storage?.name ?? null,
            outputName: row.outputName,
        }, (message) => {
            row.report(message);
            if (message.type === 'progress') {
                showSummary();
            }
        });
        row.cancelConversion = conversion.cancel;
        return conversion.ended;
    }

    // One file at a time, the first waiting one in the list.
    async function next() {
        if (running !== null) {
            return;
        }
        running = rows.find((row) => row.state === 'waiting') ?? null;
        if (running === null) {
            showSummary();
            return;
        }
        const row = running;
        row.converting();
        showSummary();
        const end = await convert(row);
        if (!end.wav) {
            storage?.remove(row.outputName); // what a cancel or a failure left
        }
        row.finish(end);
        running = null;
        showSummary();
        next();
    }

    function cancel(row) {
        if (row.state === 'waiting') {
            row.finish({ type: 'cancelled' });
            showSummary();
        } else if (row.state === 'converting') {
            row.cancelConversion?.();
        }
    }

    function dropZip() {
        if (zipUrl !== null) {
            URL.revokeObjectURL(zipUrl);
            zipUrl = null;
        }
        page.zip.hidden = true;
        page.zip.removeAttribute('href');
    }

    return {
        // New files, with the settings as they stand when they were chosen.
        add(found, settings) {
            for (const entry of found) {
                const row = createRow(entry, () => cancel(row));
                row.settings = settings;
                row.outputName = `${++outputs}.wav`;
                const at = rows.findIndex((other) => byPath(row, other) < 0);
                if (at < 0) {
                    rows.push(row);
                    page.list.append(row.item);
                } else {
                    rows.splice(at, 0, row);
                    rows[at + 1].item.before(row.item);
                }
            }
            showSummary();
            next();
        },

        cancelAll() {
            for (const row of rows) {
                cancel(row);
            }
        },

        // Empties the list and lets go of everything it held.
        clear() {
            this.cancelAll();
            for (const row of rows.splice(0)) {
                row.release();
                row.item.remove();
                storage?.remove(row.outputName);
            }
            dropZip();
            removeZip(storage);
            showSummary();
        },

        async downloadAll() {
            const kept = rows.filter((row) => row.wav !== null);
            dropZip();
            page.downloadAll.disabled = true;
            page.notice.textContent = `Making the ZIP of ${kept.length} WAV files...`;
            try {
                const zip = await buildZip(kept, storage);
                zipUrl = URL.createObjectURL(zip);
                page.zip.href = zipUrl;
                page.zip.download = zipName(kept.map((row) => row.path));
                page.zip.textContent = `Save ${page.zip.download} (${megabytes(zip.size)} MB)`;
                page.zip.hidden = false;
                page.notice.textContent = `The ZIP of ${kept.length} WAV files is ready.`;
                page.zip.focus();
            } catch (error) {
                page.notice.textContent = `The ZIP could not be made: ${error.message}`;
            }
            showSummary();
        },
    };
}
