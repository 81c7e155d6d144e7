#pragma once

#include "streams.hpp"

// The programs' files, on disk.
class disk_files final : public file_system {
public:
    [[nodiscard]] std::unique_ptr<byte_source> open_input(const std::string& path) override;
    // Reads no further than the part.
    [[nodiscard]] std::unique_ptr<byte_source> open_input_range(const std::string& path, std::uint64_t offset,
                                                                std::uint64_t length) override;
    [[nodiscard]] std::unique_ptr<byte_sink> create_output(const std::string& path,
                                                           const std::string& input_path) override;
    // Through a symbolic link the file written is the link's target, so that
    // is what goes.
    void discard_output(const std::string& path) override;
};
