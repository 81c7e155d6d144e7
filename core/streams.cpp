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
