// The batch: every file chosen or dropped, as rows in path order, converted
// in that order; above them where the batch stands, and what can be done with
// all of it at once. Nothing done for one file walks or redraws the others:
// the counts and byte totals change as the rows do.
import { fromDecoder, pageEnds } from '../shared/messages.js';
import { byPath } from '../shared/names.js';
import { readImages } from './discs.js';
import { pairSoundBanks } from './files.js';
import { afterEnd, conversionsAtOnce, createQueue, mergeSorted } from './queue.js';
import { createRow } from './rows.js';
import { createSummary } from './summary.js';
import { buildZip } from './zip.js';
import { createZipOffer } from './zip_offer.js';

// Rows go into the list in path order, each run of rows before the same
// neighbour in one step.
function insertInOrder(list, rows, added) {
    let run = null;
    let before = null;
    const place = () => {
        if (run !== null) {
            (before === null ? list.append(run) : before.item.before(run));
        }
        run = null;
    };
    const merged = mergeSorted(rows, added, byPath, (row, next) => {
        if (next !== before) {
            place();
            before = next;
        }
        run ??= document.createDocumentFragment();
        run.append(row.item);
    });
    place();
    return merged;
}

// Converts a row's file with `converter` (a promise of it), reporting each
// message of the job as it comes; resolves to the job's last message. A
// cancel may come while the converter is still loading.
async function convert(converter, row, storage, report) {
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
    const { files, location, name, size, body, part } = row.source;
    const conversion = ready.start({
        files,
        location,
        name,
        size,
        body: body ?? null,
        part: part ?? null,
        program: row.settings.program,
        rateSwitch: row.settings.rateSwitch,
        storage: storage?.name ?? null,
        outputName: row.outputName,
    }, report);
    row.cancelConversion = conversion.cancel;
    return conversion.ended;
}

// `page` holds the batch's elements; `converter` is a promise of the
// converter; `storage` is the page's file storage, or null.
export function createBatch(page, converter, storage) {
    let rows = [];
    const running = new Set();
    const summary = createSummary();
    const zip = createZipOffer(page, storage, buildZip);
    let outputs = 0;
    let clears = 0;

    // Text that changes only where it differs, so that the page is laid out
    // again no more often than it must.
    const show = (element, text) => {
        if (element.textContent !== text) {
            element.textContent = text;
        }
    };

    function showSummary() {
        for (const [kind, count] of Object.entries(summary.counts)) {
            show(page.counts[kind], String(count));
        }
        show(page.bytes, summary.text(rows.length, [...running].map((row) => row.path)));
        page.cancelAll.disabled = running.size === 0 && summary.counts.waiting === 0;
        page.clear.disabled = rows.length === 0;
        page.downloadAll.disabled = summary.kept === 0;
    }

    // A change to one row, with what it does to the bytes converted.
    function update(row, change) {
        const before = row.bytesDone;
        change();
        summary.progressed(before, row.bytesDone);
    }

    function finish(row, end) {
        update(row, () => row.finish(end));
        summary.ended(row.status, row.wav !== null);
    }

    // One row from waiting to its end. Whatever happens while it ends, it
    // leaves the running set, and the queue starts the next.
    async function convertRow(row) {
        summary.waiting(-1);
        running.add(row);
        row.converting();
        showSummary();
        try {
            const end = await convert(converter, row, storage, (message) => {
                update(row, () => row.report(message));
                if (message.type === fromDecoder.progress.type) {
                    showSummary();
                }
            });
            if (!end.wav) {
                storage?.remove(row.outputName); // what a cancel or a failure left
            }
            if (end.type === fromDecoder.split.type && !row.cleared) {
                split(row, end);
                return;
            }
            switch (afterEnd(end, running.size, row.cleared)) {
            case 'retry':
                queue.setLimit(running.size - 1);
                summary.waiting(1);
                row.reopen();
                queue.add([row]);
                break;
            case 'finish':
                finish(row, end.type === pageEnds.unstarted.type ? fromDecoder.failed(end.message) : end);
                break;
            default:
                break;
            }
        } finally {
            running.delete(row);
            showSummary();
        }
    }

    const queue = createQueue(byPath, convertRow);
    const atOnce = conversionsAtOnce(navigator.hardwareConcurrency, navigator.deviceMemory);
    queue.setLimit(atOnce);

    function cancel(row) {
        if (row.state === 'waiting') {
            queue.drop(row);
            summary.waiting(-1);
            finish(row, pageEnds.cancelled());
            showSummary();
        } else if (row.state === 'converting') {
            row.cancelConversion?.();
        }
    }

    // Rows in path order, each waiting to be converted, or ended already:
    // an entry of a disc image that is not read, or an image that failed.
    function addRows(sources, settings) {
        const added = sources.map((source) => {
            const row = createRow(source, {
                settings,
                outputName: `${++outputs}.wav`,
                onCancel: () => cancel(row),
                onConvert: (program) => convertAnyway(row, program),
            });
            summary.added(row.size);
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
        summary.waiting(waiting.length);
        showSummary();
        queue.add(waiting);
    }

    // A sound format's file that gives several WAV files: its row gives way
    // to one row a part, each under the file's path with the part's suffix.
    function split(row, { program, parts }) {
        rows = rows.filter((other) => other !== row);
        row.item.remove();
        row.release();
        summary.added(-row.size);
        summary.progressed(row.bytesDone, 0);
        addRows(parts.map((part) => ({
            ...row.source,
            path: `${row.path}${part.suffix}`,
            name: `${row.source.name}${part.suffix}`,
            size: part.bytes,
            part: { ...part, program },
        })), row.settings);
    }

    // A file sorted as holding no sound, converted with the program the
    // user chose for it.
    function convertAnyway(row, program) {
        summary.reopened(row.status);
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
            // A .VB goes with its .VH only where banks are read as such: blockrip
            // chosen by hand converts each file as it is.
            const banks = settings.program === 'auto' || settings.program === 'bank';
            addRows([...(banks ? pairSoundBanks(sources) : sources), ...failed], settings);
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
            summary.reset();
            zip.clear();
            page.notice.textContent = '';
            converter.then((ready) => ready.release(), () => {});
            showSummary();
        },

        async downloadAll() {
            page.downloadAll.disabled = true;
            await zip.make(rows.filter((row) => row.wav !== null));
            showSummary();
        },
    };
}
