#include "cd_audio.hpp"

#include <algorithm>

namespace {

void put_tag(cd_audio_header& header, std::size_t at, const char (&tag)[5])
{
    std::copy_n(tag, 4, header.begin() + static_cast<std::ptrdiff_t>(at));
}

void put_u16(cd_audio_header& header, std::size_t at, std::uint32_t value)
{
    header[at] = static_cast<std::uint8_t>(value);
    header[at + 1] = static_cast<std::uint8_t>(value >> 8U);
}

void put_u32(cd_audio_header& header, std::size_t at, std::uint32_t value)
{
    put_u16(header, at, value & 0xFFFFU);
    put_u16(header, at + 2, value >> 16U);
}

} // namespace

cd_audio_header make_cd_audio_header(std::uint32_t data_bytes)
{
    constexpr std::uint32_t channels = 2;
    constexpr std::uint32_t bits = 16;
    cd_audio_header header{};
    put_tag(header, 0, "RIFF");
    put_u32(header, 4, data_bytes + 36);                    // RIFF size: the file's length - 8
    put_tag(header, 8, "WAVE");
    put_tag(header, 12, "fmt ");                             // format chunk
    put_u32(header, 16, 16);                                 // its size
    put_u16(header, 20, 1);                                  // PCM
    put_u16(header, 22, channels);
    put_u32(header, 24, cd_audio_rate);                      // samples per second
    put_u32(header, 28, cd_audio_rate * cd_audio_frame_bytes); // bytes per second
    put_u16(header, 32, cd_audio_frame_bytes);               // block align: one stereo frame
    put_u16(header, 34, bits);                               // bits per sample
    put_tag(header, 36, "data");                             // data chunk
    put_u32(header, 40, data_bytes);                         // its size
    return header;
}

copy_outcome write_cd_audio(byte_source& track, std::uint64_t length, byte_sink& out)
{
    if (length > cd_audio_most_bytes ||
        out.write(make_cd_audio_header(static_cast<std::uint32_t>(length))) != io_status::ok) {
        return copy_outcome::write_failed;
    }
    std::uint64_t left = length;
    while (left > 0) {
        const fetch_result next = track.fetch();
        if (next.status != fetch_status::ok || next.bytes.empty()) {
            return copy_outcome::read_failed;
        }
        const std::span<const std::uint8_t> bytes = next.bytes.first(static_cast<std::size_t>(std::min<std::uint64_t>(left, next.bytes.size())));
        if (out.write(bytes) != io_status::ok) {
            return copy_outcome::write_failed;
        }
        left -= bytes.size();
    }
    return copy_outcome::done;
}
