// The names that the page, its workers and the module share: what a file is
// converted with, and the kinds of disc image. The module's enums carry the
// same names (module/bindings.cpp); the decoding worker refuses to start on
// a module whose names differ.

// The sound formats read as such: a file of one gives one WAV file a part
// (an XA clip, a bank's sample; a VAG file's one sample).
export const soundFormats = ['xa', 'vag', 'bank'];

// What a row's program menu offers, beside 'auto' (sorted by content).
export const programs = ['cinerip', 'blockrip', ...soundFormats];

// What the module converts with, in the order of its enum: the programs, CD
// audio tracks as they are, and the sound formats.
export const conversions = ['cinerip', 'blockrip', 'cdAudio', ...soundFormats];

// How the page shows each.
export const conversionLabels = { cinerip: 'cinerip', blockrip: 'blockrip', cdAudio: 'CD audio', xa: 'XA',
    vag: 'VAG', bank: 'sound bank' };

export const imageTypes = ['iso', 'bin', 'cue'];
