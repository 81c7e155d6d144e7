#pragma once

// Disc images made by the project itself, for the tests and for trying the
// page: an ISO 9660 file system of given files (level 1, no extensions) in a
// data track of 2048-byte or raw Mode 2 sectors, CD audio tracks, and the
// cue sheets that describe a disc as one .bin or as one .bin per track.

#include <cstdint>
#include <string>
#include <vector>

struct image_file {
    std::string path; // "MOVIES/INTRO.STR"; a name without a dot is stored as "NAME."
    std::vector<std::uint8_t> bytes;
    // Which sectors are Form 2 (2324 bytes of data), by index, the pattern
    // repeated over the file; empty for Form 1 throughout. A file with a
    // Form 2 sector records a size of 2048 bytes a sector.
    std::vector<bool> form2;
};

// One sector of the data track: its data (2048 bytes, or 2324 in Form 2),
// and its subheader's submode.
struct track_sector {
    std::vector<std::uint8_t> data;
    std::uint8_t submode;
};

[[nodiscard]] std::vector<track_sector> build_data_track(const std::vector<image_file>& files);

// The track as an .iso: each sector's 2048 bytes (a Form 2 sector's first
// 2048).
[[nodiscard]] std::vector<std::uint8_t> cooked_sectors(const std::vector<track_sector>& track);

// The track as raw Mode 2 sectors, the first at disc address `first_lba`.
[[nodiscard]] std::vector<std::uint8_t> raw_sectors(const std::vector<track_sector>& track,
                                                    std::uint32_t first_lba = 0);

// A CD audio track in a .bin: `pregap` sectors of silence, then the sound,
// padded with silence to whole 2352-byte sectors.
[[nodiscard]] std::vector<std::uint8_t> audio_sectors(const std::vector<std::uint8_t>& sound, std::uint32_t pregap);

inline constexpr std::uint32_t audio_pregap_sectors = 150; // two seconds

// mm:ss:ff of a sector count, 75 sectors a second.
[[nodiscard]] std::string cue_time(std::uint64_t sectors);

// A cue sheet for one .bin holding the data track and then each audio track
// (of these many bytes, pregap included), with INDEX 00 at each pregap.
[[nodiscard]] std::string single_bin_cue(const std::string& bin_name, std::uint64_t data_sectors,
                                         const std::vector<std::uint64_t>& audio_bytes);

// A cue sheet for one .bin per track, named "<stem> (Track N).bin".
[[nodiscard]] std::string per_track_cue(const std::string& stem, std::size_t audio_tracks);
