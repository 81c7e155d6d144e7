#pragma once

// What a run over whole folders needs of the system beside its files: the
// regular files under a path, and the folders that its outputs go into.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class folder_tree {
public:
    folder_tree() = default;
    folder_tree(const folder_tree&) = delete;
    folder_tree& operator=(const folder_tree&) = delete;
    virtual ~folder_tree() = default;

    struct found_file {
        std::string path; // from the input's own name on: "DISC1/MOVIES/INTRO.STR", or "intro.str" for a file
        std::string name; // as the file is opened
        std::uint64_t size;
    };

    // The regular files at or under `input` (itself, where it is a file),
    // in any order; nothing where it cannot be read.
    [[nodiscard]] virtual std::optional<std::vector<found_file>> files_under(const std::string& input) = 0;
    // The regular files beside the file `input` in its folder (itself
    // left out), each with its name for a path: where a cue sheet looks for
    // the files it names.
    [[nodiscard]] virtual std::vector<found_file> files_beside(const std::string& input) = 0;
    [[nodiscard]] virtual bool exists(const std::string& path) = 0;
    // Makes the folder and those above it; false where that fails.
    [[nodiscard]] virtual bool make_folders(const std::string& path) = 0;
};
