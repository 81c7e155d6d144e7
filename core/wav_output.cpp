#include "wav_output.hpp"

#include <algorithm>

namespace {

constexpr std::uint16_t pcm_format = 1;
constexpr std::uint16_t mono = 1;
constexpr std::uint16_t bytes_per_sample = 2;

void put_tag(wav_header& header, std::size_t offset, const char (&tag)[5])
{
    for (std::size_t i = 0; i < 4; ++i) {
        header[offset + i] = static_cast<std::uint8_t>(tag[i]);
    }
}

void put_u16(wav_header& header, std::size_t offset, std::uint16_t value)
{
    header[offset] = static_cast<std::uint8_t>(value);
    header[offset + 1] = static_cast<std::uint8_t>(value >> 8U);
}

template <std::size_t size>
void put_u32(std::array<std::uint8_t, size>& bytes, std::size_t offset, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i) {
        bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

[[nodiscard]] io_status patch_u32(byte_sink& sink, std::size_t offset, std::uint64_t value)
{
    std::array<std::uint8_t, 4> field{};
    put_u32(field, 0, static_cast<std::uint32_t>(value));
    return sink.write_at(offset, field);
}

} // namespace

wav_header make_wav_header(sample_rate rate)
{
    const auto rate_hz = static_cast<std::uint32_t>(rate);
    wav_header header{};
    put_tag(header, 0, "RIFF");                      // the file is one RIFF chunk
    put_u32(header, riff_size_offset, 0);            // its size: file length - 8, patched
    put_tag(header, 8, "WAVE");                      // of WAVE form
    put_tag(header, 12, "fmt ");                     // format chunk
    put_u32(header, 16, 18);                         // its size, with the extra-bytes field
    put_u16(header, 20, pcm_format);                 // format tag
    put_u16(header, 22, mono);                       // channels
    put_u32(header, 24, rate_hz);                    // samples per second
    put_u32(header, 28, rate_hz * bytes_per_sample); // bytes per second
    put_u16(header, 32, bytes_per_sample);           // block align
    put_u16(header, 34, 16);                         // bits per sample
    put_u16(header, 36, 0);                          // extra format bytes: none
    put_tag(header, 38, "fact");                     // fact chunk: part of the fixed layout, though PCM needs none
    put_u32(header, 42, 4);                          // its size
    put_u32(header, sample_count_offset, 0);         // samples: (file length - 58) / 2, patched
    put_tag(header, 50, "data");                     // data chunk
    put_u32(header, data_size_offset, 0);            // its size: file length - 58, patched
    return header;
}

wav_output::wav_output(byte_sink& destination, std::size_t pending_blocks)
    : sink{destination}, pending(std::max<std::size_t>(pending_blocks, 1) * pcm_block_bytes)
{
}

io_status write_wav_header(wav_output& out, sample_rate rate)
{
    if (out.sink.write(make_wav_header(rate)) != io_status::ok) {
        return io_status::failed;
    }
    out.length = wav_header_bytes;
    return io_status::ok;
}

io_status write_pending_samples(wav_output& out)
{
    const io_status status = out.sink.write(std::span{out.pending}.first(out.pending_used));
    out.pending_used = 0;
    return status;
}

io_status finish_wav(wav_output& out)
{
    std::uint64_t file_length = 0;
    if (write_pending_samples(out) != io_status::ok || out.sink.query_position(file_length) != io_status::ok ||
        file_length != out.length) {
        return io_status::failed;
    }
    const std::uint64_t data_size = file_length - wav_header_bytes;
    if (patch_u32(out.sink, riff_size_offset, file_length - 8) != io_status::ok ||
        patch_u32(out.sink, data_size_offset, data_size) != io_status::ok ||
        patch_u32(out.sink, sample_count_offset, data_size / bytes_per_sample) != io_status::ok) {
        return io_status::failed;
    }
    return io_status::ok;
}
