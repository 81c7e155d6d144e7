#pragma once

#include "cue_sheet.hpp"
#include "iso9660.hpp"
#include "sectors.hpp"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// What a disc image holds, as the page lists it: the files of its data
// track, its CD audio tracks, and what it has that is not read.
enum class entry_kind : std::uint8_t { data_file, audio_track, unread };

struct disc_entry {
    entry_kind kind;
    std::string path;   // within the disc: "MOVIES/INTRO.STR", "Track 02"
    sector_run where;   // a data file's sectors; an audio track's file and start
    std::uint64_t size; // a data file's recorded size; an audio track's bytes
    std::string reason; // why an unread entry is not read
    bool form2 = false; // a data file that the directory marks as holding Form 2 sectors
};

struct disc_listing {
    std::vector<disc_entry> entries;
    std::string error; // why the image cannot be read at all
};

enum class image_kind : std::uint8_t { iso, raw_bin };

// An .iso (2048-byte sectors) or a .bin alone (raw 2352-byte sectors, read
// as one data track): the image is file 0.
[[nodiscard]] disc_listing list_image(image_kind kind, image_files& files);

// The disc a cue sheet describes; `files` are the files it names, in its
// order. Its first data track's file system is listed, its audio tracks
// become entries, and a track of another mode, or in a file of another type
// than BINARY or MOTOROLA, becomes an unread entry.
[[nodiscard]] disc_listing list_cue_image(const cue_sheet& sheet, image_files& files);

// The whole sectors of a data file, with their subheaders: null where the
// image keeps only their data.
[[nodiscard]] std::unique_ptr<byte_source> open_entry_sectors(image_files& files, const sector_run& where);

// The bytes of a data file or an audio track.
[[nodiscard]] std::unique_ptr<byte_source> open_entry(image_files& files, const disc_entry& entry);
