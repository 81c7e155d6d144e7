#pragma once

#include "wav_reading.hpp"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// Test file names are UTF-8 on every system, as the programs take them.
[[nodiscard]] std::filesystem::path utf8_path(std::string_view name);
[[nodiscard]] std::string utf8_string(const std::filesystem::path& path);

// A fresh directory under the system's temporary directory, removed with
// everything in it at the end of the test.
class temp_dir {
public:
    temp_dir();
    temp_dir(const temp_dir&) = delete;
    temp_dir& operator=(const temp_dir&) = delete;
    ~temp_dir();

    [[nodiscard]] const std::filesystem::path& path() const { return path_; }
    [[nodiscard]] std::string operator/(const std::string& name) const { return utf8_string(path_ / utf8_path(name)); }

private:
    std::filesystem::path path_;
};

[[nodiscard]] std::vector<std::uint8_t> read_bytes(const std::string& file);

// Makes `link` a symbolic link to `target`. False where the system does not
// let this process make one (Windows without the privilege, or Wine).
[[nodiscard]] bool make_symlink(const std::string& target, const std::string& link);

// The header's fields and the samples after it; fails the test unless the
// file starts with the programs' header.
[[nodiscard]] wav_contents parse_wav(const std::vector<std::uint8_t>& file);
