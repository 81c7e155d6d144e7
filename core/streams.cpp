#include "streams.hpp"

#include <algorithm>

read_status input_stream::read_across_fetches(std::span<std::uint8_t> into)
{
    while (!into.empty()) {
        if (window_.empty()) {
            const fetch_result next = source_.fetch();
            if (next.status != io_status::ok) {
                return read_status::failed;
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
