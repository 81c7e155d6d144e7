// The batch's summary: how many files ended in each way and how many wait,
// and the bytes converted of the bytes chosen. It changes as rows do:
// nothing here walks the rows.
import { summaryKind, summaryKinds } from '../shared/statuses.js';

const megabytes = (bytes) => (bytes / 1e6).toFixed(1);

export function createSummary() {
    const summary = {
        counts: {}, // by summaryKind, and 'waiting'
        totalBytes: 0,
        doneBytes: 0,
        kept: 0, // files with a WAV file
        reset() {
            for (const kind of [...summaryKinds, 'waiting']) {
                summary.counts[kind] = 0;
            }
            summary.totalBytes = summary.doneBytes = summary.kept = 0;
        },
        // A file added, of `bytes`.
        added(bytes) {
            summary.totalBytes += bytes;
        },
        // Files that begin or stop waiting (`change` of them, or -1 each).
        waiting(change) {
            summary.counts.waiting += change;
        },
        // A file's bytes converted, from `before` to `after`.
        progressed(before, after) {
            summary.doneBytes += after - before;
        },
        // A file ended with `status`, keeping a WAV file or not.
        ended(status, keptWav) {
            ++summary.counts[summaryKind(status)];
            summary.kept += keptWav ? 1 : 0;
        },
        // A file that ended with `status` (and kept nothing) waits again.
        reopened(status) {
            --summary.counts[summaryKind(status)];
            ++summary.counts.waiting;
        },
        // The line under the counts, with the paths being converted.
        text(fileCount, converting) {
            if (fileCount === 0) {
                return 'No files yet.';
            }
            const now = converting.length > 0 ? `; converting ${converting.join(', ')}` : '.';
            return `${megabytes(summary.doneBytes)} of ${megabytes(summary.totalBytes)} MB converted${now}`;
        },
    };
    summary.reset();
    return summary;
}
