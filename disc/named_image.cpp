#include "named_image.hpp"

#include <algorithm>

fetch_result bounded_source::fetch()
{
    const fetch_result next = source_->fetch();
    const auto take = static_cast<std::size_t>(std::min<std::uint64_t>(left_, next.bytes.size()));
    left_ -= take;
    return {next.status, next.bytes.first(take)};
}

io_status bounded_source::skip(std::uint64_t count)
{
    left_ -= std::min(left_, count);
    return source_->skip(count);
}

std::shared_ptr<named_image> named_image::joined(const named_image& other) const
{
    std::vector<named_file> both = parts_;
    both.insert(both.end(), other.parts_.begin(), other.parts_.end());
    return std::make_shared<named_image>(files_, std::move(both));
}

std::unique_ptr<byte_source> named_image::open_range(std::size_t file, std::uint64_t offset, std::uint64_t length)
{
    std::unique_ptr<byte_source> source = files_.open_input(parts_.at(file).name);
    if (!source || source->skip(offset) != io_status::ok) {
        return nullptr;
    }
    return std::make_unique<bounded_source>(std::move(source), length);
}
