#include "named_image.hpp"

#include <algorithm>

std::shared_ptr<named_image> named_image::joined(const named_image& other) const
{
    std::vector<named_file> both = parts_;
    both.insert(both.end(), other.parts_.begin(), other.parts_.end());
    return std::make_shared<named_image>(files_, std::move(both));
}

std::unique_ptr<byte_source> named_image::open_range(std::size_t file, std::uint64_t offset, std::uint64_t length)
{
    return files_.open_input_range(parts_.at(file).name, offset, length);
}
