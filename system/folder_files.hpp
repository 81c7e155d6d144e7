#pragma once

#include "folders.hpp"

// Folders on disk.
class disk_folders final : public folder_tree {
public:
    [[nodiscard]] std::optional<std::vector<found_file>> files_under(const std::string& input) override;
    [[nodiscard]] std::vector<found_file> files_beside(const std::string& input) override;
    [[nodiscard]] bool exists(const std::string& path) override;
    [[nodiscard]] bool make_folders(const std::string& path) override;
};
