// What each outcome of a file means to the user: the programs' exit statuses,
// and the two ends that only the page has.

const meanings = new Map([
    [0, 'Done: the conversion finished and the WAV file is complete.'],
    [1, 'No input file was named; the usage was printed.'],
    [2, 'The input file cannot be opened.'],
    [3, 'The WAV file cannot be created.'],
    [4, 'The conversion stopped early; the WAV file, if offered, holds what was converted.'],
]);

export function statusMeaning(status) {
    if (status === 'failed') {
        return 'The browser could not convert this file; nothing was written.';
    }
    if (status === 'cancelled') {
        return 'Cancelled: the conversion was ended; no WAV file is offered.';
    }
    return meanings.get(status) ?? `Exit status ${status}: unexpected.`;
}

// A short word for the list.
export function statusLabel(status) {
    if (status === 'failed') {
        return 'Failed';
    }
    if (status === 'cancelled') {
        return 'Cancelled';
    }
    return status === 0 ? 'Done' : `Exit status ${status}`;
}
