#include "streams.hpp"

#include <algorithm>

read_status input_stream::read_across_fetches(std::span<std::uint8_t> into)
{
    while (!into.empty()) {
        if (window_.empty()) {
            const fetch_result next = source_.fetch();
            switch (next.status) {
            case fetch_status::ok:
                break;
            case fetch_status::failed:
                return read_status::failed;
            case fetch_status::interrupted:
                return read_status::interrupted;
            }
            if (next.bytes.empty()) {
                return read_status::ended;
            }
            window_ = next.bytes;
        }
        const std::size_t take = std::min(into.size(), window_.size());
        std::memcpy(into.data(), window_.data(), take);
        window_ = window_.subspan(take);
        into = into.subspan(take);
    }
    return read_status::complete;
}

io_status input_stream::skip(std::uint64_t count)
{
    if (count <= window_.size()) {
        window_ = window_.subspan(static_cast<std::size_t>(count));
        return io_status::ok;
    }
    const std::uint64_t beyond_window = count - window_.size();
    window_ = {};
    return source_.skip(beyond_window);
}

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

std::unique_ptr<byte_source> file_system::open_input_range(const std::string& path, std::uint64_t offset,
                                                           std::uint64_t length)
{
    std::unique_ptr<byte_source> source = open_input(path);
    if (!source || source->skip(offset) != io_status::ok) {
        return nullptr;
    }
    return std::make_unique<bounded_source>(std::move(source), length);
}
