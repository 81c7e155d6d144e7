#pragma once

#include "streams.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// A cue sheet, as far as the reader needs it: the files it names, and each
// track's mode and where it starts in its file. PREGAP, FLAGS, REM, CATALOG,
// ISRC, TITLE and the like are passed over; a pregap is not in the file.
enum class track_mode { raw_data, cooked_data, audio, other };

struct cue_file {
    std::string name; // without any folder part, as the page matches it
    std::string type; // BINARY, MOTOROLA, WAVE, MP3, ...
};

struct cue_track {
    unsigned number;
    std::size_t file; // into cue_sheet::files
    track_mode mode;
    std::string mode_name;               // as written: MODE2/2352, MODE2/2336, ...
    std::optional<std::uint64_t> pregap; // INDEX 00, in sectors from the start of the file
    std::optional<std::uint64_t> start;  // INDEX 01, likewise
};

struct cue_sheet {
    std::vector<cue_file> files;
    std::vector<cue_track> tracks;
};

struct cue_reading {
    cue_sheet sheet;
    std::string error; // why the sheet cannot be read; empty when it can
};

// A CD's sheet is a few KiB.
inline constexpr std::size_t max_cue_sheet_bytes = 64 * 1024;

// Reads a cue sheet of at most max_cue_sheet_bytes, lines of at most 1,024
// bytes, 99 files and 99 tracks.
[[nodiscard]] cue_reading parse_cue(std::span<const std::uint8_t> text);

// Reads the cue sheet that `source` holds, `size` bytes, fetching no more
// than a sheet may hold.
[[nodiscard]] cue_reading read_cue_sheet(byte_source& source, std::uint64_t size);

struct cue_files_found {
    std::vector<std::size_t> files; // for each file the sheet names, which of the candidates it is
    std::string error;              // the name that none of them has
};

// `text` with its ASCII capitals made small: names compared without regard to
// case, as the names of a disc's files are.
[[nodiscard]] std::string lower_case(std::string_view text);

// The sheet's files among `candidates` (names without folders), matched by
// name without regard to case, as the names of a disc's files are.
[[nodiscard]] cue_files_found find_cue_files(const cue_sheet& sheet, std::span<const std::string> candidates);
