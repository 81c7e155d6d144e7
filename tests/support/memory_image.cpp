#include "memory_image.hpp"

std::unique_ptr<byte_source> memory_image::open_range(std::size_t file, std::uint64_t offset, std::uint64_t length)
{
    const std::vector<std::uint8_t>& bytes = files_.at(file);
    if (offset > bytes.size() || length > bytes.size() - offset) {
        return nullptr;
    }
    bytes_opened += length;
    return std::make_unique<memory_source>(
        std::span{bytes}.subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(length)), fetch_bytes_);
}
