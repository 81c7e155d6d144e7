#pragma once

// What the page may ask of the module, and the values that cross between
// them: bindings.cpp gives each of these the name the page's side uses, and
// exports nothing else. Every call reads the job's files through the host
// the worker sets up for it (host_files.cpp); nothing outlives a call.
#include "disc_image.hpp"
#include "sort_content.hpp"
#include "waveform.hpp"

#include <cstdint>
#include <string>
#include <vector>

// The disc images the page lists: an .iso, a .bin of raw sectors alone, or a
// cue sheet with the files it names.
enum class image_type : std::uint8_t { iso, bin, cue };

// What a file is converted with: one of the programs; for a CD audio track,
// as it is; or as the sound format it holds: XA sectors, a VAG file, a sound
// bank.
enum class converter_program : std::uint8_t { cinerip, blockrip, cd_audio, xa, vag, bank };

// Where a job's input lies: the whole of one of its files, or a data file or
// an audio track inside the disc image that its files make; none, where a
// job has no second input (a bank's body in a .VB of its own).
enum class input_kind : std::uint8_t { whole_file, data_file, audio_track, none };

// Offsets and sizes are doubles on the page, exact to 2^53 bytes.
struct input_location {
    input_kind kind = input_kind::whole_file;
    int file = 0;       // which of the image's files holds it
    double start = 0;   // the byte offset of its first sector in that file
    double sectors = 0; // a data file's sectors
    sector_layout layout = sector_layout::raw;
    double size = 0;    // a whole file's bytes, a data file's recorded size or a track's bytes
    bool form2 = false; // a data file that the disc's directory marks as holding Form 2 sectors
};

// One entry of a disc's listing.
struct listed_entry {
    entry_kind kind;
    std::string path;        // within the disc: "MOVIES/INTRO.STR", "Track 02"
    std::string reason;      // why an unread entry is not read
    input_location location; // where a data file or a track lies
    double span;             // how many of the image's bytes it is read from
};

struct disc_contents {
    std::string error; // why the image cannot be listed; empty once it is
    bool image;        // false for a .bin that is not raw sectors: a file like any other
    std::vector<listed_entry> entries;
    std::vector<int> used; // which of the job's files the image is made of, in the order locations count them
};

// Lists the disc image that the job's files make; a .bin is one where it
// starts with a raw sector's sync pattern. `names` are the names of
// the job's files: for a cue sheet, the sheet first, then every file that
// may be one it names; for the others, the image alone.
[[nodiscard]] disc_contents list_disc(image_type type, const std::vector<std::string>& names);

struct sorting_reply {
    content_verdict verdict;
    std::string reason; // why it holds no sound
};

// What converts the input, by what it holds. A data file's XA sound is
// looked for in its whole sectors; in an image of 2048-byte sectors, a Form 2
// file is skipped, since its subheaders are gone.
[[nodiscard]] sorting_reply sort_input(const input_location& input);

// One WAV file of those a sound format's file gives: an XA clip, a bank's
// sample, or a VAG file's one sample.
struct output_part {
    std::string suffix; // tells a file's several outputs apart (".f1c03", ".f1c03-2", ".s012"); empty for the only one
    std::string note;   // what the row says of it beside its format: a VAG file's name, a rate replaced
    int channels = 1;
    int rate = 0;
    // An XA clip's sectors, counted from the file's first; a sample's bytes,
    // in the file that holds the bank's body. From `start` to before `end`.
    double start = 0;
    double end = 0;
    double bytes = 0; // how many of the file's bytes it is read from
    int xa_file = 0;  // an XA clip's stream: file number, channel, and its coding
    int xa_channel = 0;
    bool eight_bit = false;
};

struct part_listing {
    std::string reason; // why the file gives nothing, where it does not
    bool unreadable;    // it could not be read
    std::vector<output_part> parts;
};

// What a sound format's file holds, one part a WAV file (convert_first_part
// gives it). A request's `body` is a bank's .VB where it is a file of its own
// (kind none otherwise).
// The samples per second a program writes, with its switch or without; a CD
// audio track's are its own.
[[nodiscard]] std::uint32_t program_rate(converter_program program, bool rate_switch);

// The most bytes the WAV file made from the input can hold: for a sound
// format, the part's, or where the part is empty (end 0), any part's of the
// input and the bank's `body`.
[[nodiscard]] double wav_bound(converter_program program, const input_location& input, const input_location& body,
                               const output_part& part);

struct conversion_request {
    converter_program program;
    bool rate_switch;
    std::string name; // the input's name, as the program's messages give it
    input_location input;
    input_location body; // a bank's .VB, or kind none
    output_part part;    // which of a sound format's outputs
};

struct conversion_reply {
    int status;    // the program's exit status
    double frames; // the sound's length, in frames
    waveform_outline outline;
};

struct first_part_reply {
    conversion_reply converted; // of the file's sole part, where it has one part alone
    part_listing listing;       // what the file holds
};

// Lists a sound format's file (the request's part is not read) and, where it
// has one part alone, converts that part, in one reading of an XA file.
// Where it has several, or none, the WAV file begun is let go of.
[[nodiscard]] first_part_reply convert_first_part(const conversion_request& request);

// Runs the program on the input, as its command line would with the same
// name and switch, or converts the part of a sound format's file, and
// writes the WAV file through the host.
[[nodiscard]] conversion_reply convert_input(const conversion_request& request);
