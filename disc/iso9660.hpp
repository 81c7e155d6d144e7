#pragma once

#include "sectors.hpp"

#include <cstdint>
#include <string>
#include <vector>

// The ISO 9660 file system of a data track, from its primary volume
// descriptor (sector 16) down the directories from the root.
struct disc_file {
    std::string path;    // "MOVIES/INTRO.STR": without the ";1", and without the dot that ends a name with no extension
    std::uint64_t first; // its first sector in the track
    std::uint64_t sectors; // the recorded size over 2048, rounded up
    std::uint64_t size;    // as recorded
    bool form2 = false;    // its CD-XA field says it has Form 2 sectors: XA sound, or a movie's
};

struct file_listing {
    std::vector<disc_file> files;
    std::string error; // why the file system cannot be listed
};

// A CD holds far fewer; past either bound, or past 65,536 sectors of
// directories, the listing fails.
inline constexpr std::size_t max_disc_entries = 65536; // files and directories
inline constexpr std::size_t max_disc_depth = 64;

// Reads only the descriptors and the directories. Every name, extent and
// record length is checked: a hostile image fails with the reason, it never
// loops or reads outside the track.
[[nodiscard]] file_listing list_files(image_files& files, const sector_run& track);
