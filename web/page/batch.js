// The batch: every file chosen or dropped, as rows in path order, converted
// in that order; above them where the batch stands, and what can be done with
// all of it at once. Nothing done for one file walks or redraws the others:
// the counts and byte totals change as the rows do.
import { readImages } from './discs.js';
import { fromDecoder, pageEnds } from '../shared/messages.js';
import { byPath, zipName } from '../shared/names.js';
import { conversionsAtOnce, createQueue } from './queue.js';
import { createRow } from './rows.js';
import { summaryKind, summaryKinds } from '../shared/statuses.js';
import { buildZip } from './zip.js';

const megabytes = (bytes) => (bytes / 1e6).toFixed(1);

// Rows go into the list in path order, each run of rows before the same
// neighbour in one step.
function insertInOrder(list, rows, added) {
    const merged = [];
    let at = 0;
    let run = null;
    let before = null;
    const place = () => {
        if (run !== null) {
            (before === null ? list.append(run) : before.before(run));
        }
        run = null;
    };
    for (const row of added) {
        while (at < rows.length && byPath(rows[at], row) <= 0) {
            merged.push(rows[at++]);
        }
        const next = at < rows.length ? rows[at].item : null;
        if (next !== before) {
            place();
            before = next;
        }
        run ??= document.createDocumentFragment();
        run.append(row.item);
        merged.push(row);
    }
    place();
    return merged.concat(rows.slice(at));
}

// `page` holds the batch's elements; `converter` is a promise of the
// converter; `storage` is the page's file storage, or null.
export function createBatch(page, converter, storage) {
    let rows = [];
    const running = new Set();
    const counts = {};
    let totalBytes = 0;
    let doneBytes = 0;
    let kept = 0; // rows with a WAV file
    let outputs = 0;
    let zip = null; // the ZIP on offer: its URL and its name in storage
    let zips = 0;
    let clears = 0;

    const resetCounts = () => {
        for (const kind of [...summaryKinds, 'waiting']) {
            counts[kind] = 0;
        }
    };
    resetCounts();

    // Text that changes only where it differs, so that the page is laid out
    // again no more often than it must.
    const show = (element, text) => {
        if (element.textContent !== text) {
            element.textContent = text;
        }
    };

    function showSummary() {
        for (const [kind, count] of Object.entries(counts)) {
            show(page.counts[kind], String(count));
        }
        const converting = [...running].map((row) => row.path).join(', ');
        show(page.bytes, rows.length === 0 ? 'No files yet.'
            : `${megabytes(doneBytes)} of ${megabytes(totalBytes)} MB converted${
                converting ? `; converting ${converting}` : '.'}`);
        page.cancelAll.disabled = running.size === 0 && counts.waiting === 0;
        page.clear.disabled = rows.length === 0;
        page.downloadAll.disabled = kept === 0;
    }

    // A change to one row, with what it does to the totals.
    function update(row, change) {
        const before = row.bytesDone;
        change();
        doneBytes += row.bytesDone - before;
    }

    function finish(row, end) {
        update(row, () => row.finish(end));
        ++counts[summaryKind(row.status)];
        kept += row.wav !== null ? 1 : 0;
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
            return fromDecoder.failed(`The converter cannot be loaded: ${error.message}`);
        }
        if (cancelled) {
            return pageEnds.cancelled();
        }
        const conversion = ready.start({
            ...row.source,
            program: row.settings.program,
            rateSwitch: row.settings.rateSwitch,
            storage: storage?.name ?? null,
            outputName: row.outputName,
        }, (message) => {
            update(row, () => row.report(message));
            if (message.type === fromDecoder.progress.type) {
                showSummary();
            }
        });
        row.cancelConversion = conversion.cancel;
        return conversion.ended;
    }

    // One row from waiting to its end. Whatever happens while it ends, it
    // leaves the running set, and the queue starts the next.
    async function run(row) {
        --counts.waiting;
        running.add(row);
        row.converting();
        showSummary();
        try {
            let end = await convert(row);
            if (!end.wav) {
                storage?.remove(row.outputName); // what a cancel or a failure left
            }
            if (end.type === pageEnds.unstarted.type && running.size > 1 && !row.cleared) {
                // The browser refused another pair of workers: the others go
                // on, and this file waits for one of theirs.
                queue.setLimit(running.size - 1);
                ++counts.waiting;
                row.reopen();
                queue.add([row]);
                return;
            }
            end = end.type === pageEnds.unstarted.type ? fromDecoder.failed(end.message) : end;
            if (!row.cleared) {
                finish(row, end);
            }
        } finally {
            running.delete(row);
            showSummary();
        }
    }

    const queue = createQueue(byPath, run);
    const atOnce = conversionsAtOnce(navigator.hardwareConcurrency, navigator.deviceMemory);
    queue.setLimit(atOnce);

    function cancel(row) {
        if (row.state === 'waiting') {
            queue.drop(row);
            --counts.waiting;
            finish(row, pageEnds.cancelled());
            showSummary();
        } else if (row.state === 'converting') {
            row.cancelConversion?.();
        }
    }

    function dropZip() {
        if (zip !== null) {
            URL.revokeObjectURL(zip.url);
            storage?.remove(zip.fileName);
            zip = null;
        }
        page.zip.hidden = true;
        page.zip.removeAttribute('href');
    }

    // Rows in path order, each waiting to be converted, or ended already:
    // an entry of a disc image that is not read, or an image that failed.
    function addRows(sources, settings) {
        const added = sources.map((source) => {
            const row = createRow(source, () => cancel(row), (program) => convertAnyway(row, program));
            row.settings = settings;
            row.outputName = `${++outputs}.wav`;
            totalBytes += row.size;
            return row;
        }).sort(byPath);
        rows = insertInOrder(page.list, rows, added);
        const waiting = [];
        for (const row of added) {
            const { reason, message } = row.source;
            if (reason || message) {
                finish(row, message ? fromDecoder.failed(message) : fromDecoder.skipped(reason));
            } else {
                waiting.push(row);
            }
        }
        counts.waiting += waiting.length;
        showSummary();
        queue.add(waiting);
    }

    // A file sorted as holding no sound, converted with the program the
    // user chose for it.
    function convertAnyway(row, program) {
        --counts[summaryKind(row.status)];
        ++counts.waiting;
        row.settings = { ...row.settings, program };
        row.reopen();
        showSummary();
        queue.add([row]);
    }

    return {
        // New files, with the settings as they stand when they were chosen.
        // Disc images among them are listed first; their entries become
        // rows.
        async add(found, settings) {
            const clearsBefore = clears;
            let ready;
            try {
                ready = await converter;
            } catch {
                addRows(found, settings); // each fails, saying why
                return;
            }
            page.notice.textContent = 'Reading the files...';
            const { rows: sources, failed } = await readImages(found, ready.list);
            if (clears !== clearsBefore) {
                return;
            }
            page.notice.textContent = '';
            addRows([...sources, ...failed], settings);
        },

        cancelAll() {
            for (const row of [...running]) {
                cancel(row);
            }
            for (const row of rows) {
                if (row.state === 'waiting') {
                    cancel(row);
                }
            }
        },

        // Empties the list and lets go of everything it held.
        clear() {
            ++clears;
            queue.clear();
            queue.setLimit(atOnce); // workers refused before may start now
            for (const row of rows) {
                row.cleared = true;
                row.cancelConversion?.();
                row.release();
                storage?.remove(row.outputName);
            }
            rows = [];
            page.list.replaceChildren();
            resetCounts();
            totalBytes = 0;
            doneBytes = 0;
            kept = 0;
            dropZip();
            page.notice.textContent = '';
            converter.then((ready) => ready.release(), () => {});
            showSummary();
        },

        async downloadAll() {
            const keptRows = rows.filter((row) => row.wav !== null);
            const clearsBefore = clears;
            dropZip();
            page.downloadAll.disabled = true;
            page.notice.textContent = `Making the ZIP of ${keptRows.length} WAV files...`;
            const fileName = `download-all-${++zips}.zip`;
            let archive = null;
            let failure = null;
            try {
                archive = await buildZip(keptRows, storage, fileName);
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
            } else {
                zip = { url: URL.createObjectURL(archive), fileName };
                page.zip.href = zip.url;
                page.zip.download = zipName(keptRows.map((row) => row.path));
                page.zip.textContent = `Save ${page.zip.download} (${megabytes(archive.size)} MB)`;
                page.zip.hidden = false;
                page.notice.textContent = `The ZIP of ${keptRows.length} WAV files is ready.`;
                page.zip.focus();
            }
            showSummary();
        },
    };
}
