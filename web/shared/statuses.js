// How a file's row ends: the program's exit status (a number), or one of the
// ends that only the page has. What each means to the user, and the kind it
// is counted as in the batch's summary.

export const pageStatus = { failed: 'failed', cancelled: 'cancelled', skipped: 'skipped' };

const meanings = new Map([
    [0, 'Done: the conversion finished and the WAV file is complete.'],
    [1, 'No input file was named; the usage was printed.'],
    [2, 'The input file cannot be opened.'],
    [3, 'The WAV file cannot be created.'],
    [4, 'The conversion stopped early; the WAV file, if offered, holds what was converted.'],
    [pageStatus.failed, 'The browser could not convert this file; nothing was written.'],
    [pageStatus.cancelled, 'Cancelled: the conversion was ended; no WAV file is offered.'],
    [pageStatus.skipped, 'Not converted:'],
]);

export function statusMeaning(status) {
    return meanings.get(status) ?? `Exit status ${status}: unexpected.`;
}

// A short word for the list.
export function statusLabel(status) {
    if (typeof status === 'number') {
        return status === 0 ? 'Done' : `Exit status ${status}`;
    }
    return status.charAt(0).toUpperCase() + status.slice(1);
}

// The summary's counts: 'done', 'other' (another exit status), or the
// page's own status.
export const summaryKinds = ['done', 'other', ...Object.values(pageStatus)];

export function summaryKind(status) {
    if (typeof status === 'number') {
        return status === 0 ? 'done' : 'other';
    }
    return status;
}
