#include "cd_audio.hpp"

#include <algorithm>

copy_outcome write_cd_audio(byte_source& track, std::uint64_t length, byte_sink& out)
{
    if (length > canonical_data_limit ||
        out.write(make_canonical_wav_header(cd_audio_format, static_cast<std::uint32_t>(length))) != io_status::ok) {
        return copy_outcome::write_failed;
    }
    std::uint64_t left = length;
    while (left > 0) {
        const fetch_result next = track.fetch();
        if (next.status != fetch_status::ok || next.bytes.empty()) {
            return copy_outcome::read_failed;
        }
        const std::span<const std::uint8_t> bytes =
            next.bytes.first(static_cast<std::size_t>(std::min<std::uint64_t>(left, next.bytes.size())));
        if (out.write(bytes) != io_status::ok) {
            return copy_outcome::write_failed;
        }
        left -= bytes.size();
    }
    return copy_outcome::done;
}
