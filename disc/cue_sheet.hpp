#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// A cue sheet, as far as the reader needs it: the files it names, and each
// track's mode and where it starts in its file. PREGAP, FLAGS, REM, CATALOG,
// ISRC, TITLE and the like are passed over; a pregap is not in the file.
enum class track_mode { mode1_raw, mode2_raw, mode1_cooked, audio, other };

struct cue_file {
    std::string name;  // without any folder part, as the page matches it
    std::string type;  // BINARY, MOTOROLA, WAVE, MP3, ...
};

struct cue_track {
    unsigned number;
    std::size_t file;                     // into cue_sheet::files
    track_mode mode;
    std::string mode_name;                // as written: MODE2/2352, MODE2/2336, ...
    std::optional<std::uint64_t> pregap;  // INDEX 00, in sectors from the start of the file
    std::optional<std::uint64_t> start;   // INDEX 01, likewise
};

struct cue_sheet {
    std::vector<cue_file> files;
    std::vector<cue_track> tracks;
};

struct cue_reading {
    std::optional<cue_sheet> sheet;
    std::string error; // why there is none
};

// Reads a cue sheet of at most 64 KiB, lines of at most 1,024 bytes, 99
// files and 99 tracks: a CD's sheet is a few KiB.
[[nodiscard]] cue_reading parse_cue(std::span<const std::uint8_t> text);
