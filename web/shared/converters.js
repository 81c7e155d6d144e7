// The names that the page, its workers and the module share: what a file is
// converted with, and the kinds of disc image. The module's enums carry the
// same names (module/bindings.cpp); the decoding worker refuses to start on
// a module whose names differ.

// What a row's program menu offers, beside 'auto': sorted by content.
export const programs = ['cinerip', 'blockrip'];

// What the module converts with: the programs, and CD audio tracks as they are.
export const conversions = [...programs, 'cdAudio'];

// How the page shows each.
export const conversionLabels = { cinerip: 'cinerip', blockrip: 'blockrip', cdAudio: 'CD audio' };

export const imageTypes = ['iso', 'bin', 'cue'];
