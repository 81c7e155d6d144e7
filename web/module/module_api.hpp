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

// What a file is converted with: one of the programs, or, for a CD audio
// track, as it is.
enum class converter_program : std::uint8_t { cinerip, blockrip, cd_audio };

// Where a job's input lies: the whole of one of its files, or a data file or
// an audio track inside the disc image that its files make.
enum class input_kind : std::uint8_t { whole_file, data_file, audio_track };

// Offsets and sizes are doubles on the page, exact to 2^53 bytes.
struct input_location {
    input_kind kind = input_kind::whole_file;
    int file = 0;       // which of the image's files holds it
    double start = 0;   // the byte offset of its first sector in that file
    double sectors = 0; // a data file's sectors
    sector_layout layout = sector_layout::raw;
    double size = 0; // a whole file's bytes, a data file's recorded size or a track's bytes
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

// Which program the input is for, by what it holds.
[[nodiscard]] sorting_reply sort_input(const input_location& input);

// The samples per second a program writes, with its switch or without; a CD
// audio track's are its own.
[[nodiscard]] std::uint32_t program_rate(converter_program program, bool rate_switch);

// The most bytes the WAV file made from the input can hold.
[[nodiscard]] double wav_bound(converter_program program, const input_location& input);

struct conversion_request {
    converter_program program;
    bool rate_switch;
    std::string name; // the input's name, as the program's messages give it
    input_location input;
};

struct conversion_reply {
    int status;    // the program's exit status
    double frames; // the sound's length, in frames
    waveform_outline outline;
};

// Runs the program on the input, as its command line would with the same
// name and switch, and writes the WAV file through the host.
[[nodiscard]] conversion_reply convert_input(const conversion_request& request);
