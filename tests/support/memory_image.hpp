#pragma once

#include "memory_streams.hpp"
#include "sectors.hpp"

#include <cstdint>
#include <span>
#include <vector>

// A disc image's files in memory, each part opened as a memory source that
// hands out `fetch_bytes` at a time, and counting the bytes it is asked for.
class memory_image final : public image_files {
public:
    explicit memory_image(std::vector<std::vector<std::uint8_t>> files, std::size_t fetch_bytes = memory_source::never)
        : files_{std::move(files)}, fetch_bytes_{fetch_bytes}
    {
    }

    std::size_t count() const override { return files_.size(); }
    std::uint64_t size(std::size_t file) const override { return files_.at(file).size(); }
    std::unique_ptr<byte_source> open_range(std::size_t file, std::uint64_t offset, std::uint64_t length) override;

    std::uint64_t bytes_opened = 0;

private:
    std::vector<std::vector<std::uint8_t>> files_;
    std::size_t fetch_bytes_;
};
