#pragma once

// A disc image whose files are opened by name through a file system: the
// disk for the command line.
#include "sectors.hpp"

#include <string>
#include <vector>

struct named_file {
    std::string name; // as `files` opens it
    std::uint64_t size;
};

class named_image final : public image_files {
public:
    named_image(file_system& files, std::vector<named_file> parts) : files_{files}, parts_{std::move(parts)} {}

    // This image's files, then the other's.
    [[nodiscard]] std::shared_ptr<named_image> joined(const named_image& other) const;

    std::size_t count() const override { return parts_.size(); }
    std::uint64_t size(std::size_t file) const override { return parts_.at(file).size; }
    std::unique_ptr<byte_source> open_range(std::size_t file, std::uint64_t offset, std::uint64_t length) override;

private:
    file_system& files_;
    std::vector<named_file> parts_;
};
