#include "wav_output.hpp"

#include <algorithm>
#include <optional>

namespace {

constexpr std::uint16_t pcm_format_tag = 1;
constexpr std::uint16_t bits_per_sample = 16;
constexpr std::uint16_t bytes_per_sample = bits_per_sample / 8;

void put_tag(std::span<std::uint8_t> bytes, std::size_t offset, const char (&tag)[5])
{
    for (std::size_t i = 0; i < 4; ++i) {
        bytes[offset + i] = static_cast<std::uint8_t>(tag[i]);
    }
}

void put_u16(std::span<std::uint8_t> bytes, std::size_t offset, std::uint16_t value)
{
    bytes[offset] = static_cast<std::uint8_t>(value);
    bytes[offset + 1] = static_cast<std::uint8_t>(value >> 8U);
}

void put_u32(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value)
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

// Both layouts: RIFF, WAVE and the format chunk at the same places. The
// programs' format chunk is 18 bytes, with an empty extra-bytes field, and
// a "fact" chunk stands before "data"; the canonical one is 16 and "data"
// follows it. Sizes not known yet are written as 0, to be patched.
void put_wav_header(std::span<std::uint8_t> header, pcm_format format, std::optional<std::uint32_t> data_bytes)
{
    const bool with_fact = header.size() == wav_header_bytes;
    const std::uint16_t format_bytes = with_fact ? 18 : 16;
    const std::size_t data_at = header.size() - 8;
    const auto frame_bytes = static_cast<std::uint16_t>(format.channels * bytes_per_sample);
    put_tag(header, 0, "RIFF"); // the file is one RIFF chunk
    const std::uint32_t data = data_bytes.value_or(0);
    const std::uint32_t riff_size = data_bytes ? data + static_cast<std::uint32_t>(data_at) : 0;
    put_u32(header, riff_size_offset, riff_size);   // its size: file length - 8
    put_tag(header, 8, "WAVE");                     // of WAVE form
    put_tag(header, 12, "fmt ");                    // format chunk
    put_u32(header, 16, format_bytes);              // its size
    put_u16(header, 20, pcm_format_tag);            // format tag
    put_u16(header, 22, format.channels);           // channels
    put_u32(header, 24, format.rate);               // frames per second
    put_u32(header, 28, format.rate * frame_bytes); // bytes per second
    put_u16(header, 32, frame_bytes);               // block align: one frame
    put_u16(header, 34, bits_per_sample);           // bits per sample
    if (with_fact) {
        put_u16(header, 36, 0);      // extra format bytes: none
        put_tag(header, 38, "fact"); // fact chunk: part of the fixed layout, though PCM needs none
        put_u32(header, 42, 4);      // its size
        put_u32(header, sample_count_offset, data / frame_bytes); // sample frames
    }
    put_tag(header, data_at, "data");   // data chunk
    put_u32(header, data_at + 4, data); // its size
}

} // namespace

wav_header make_wav_header(sample_rate rate)
{
    wav_header header{};
    put_wav_header(header, {1, static_cast<std::uint32_t>(rate)}, std::nullopt);
    return header;
}

canonical_wav_header make_canonical_wav_header(pcm_format format, std::uint32_t data_bytes)
{
    canonical_wav_header header{};
    put_wav_header(header, format, data_bytes);
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

io_status write_canonical_header(wav_output& out, pcm_format format)
{
    if (out.sink.write(make_canonical_wav_header(format, 0)) != io_status::ok) {
        return io_status::failed;
    }
    out.length = canonical_header_bytes;
    out.header_bytes = canonical_header_bytes;
    out.frame_bytes = static_cast<std::uint16_t>(format.channels * bytes_per_sample);
    return io_status::ok;
}

append_status append_pcm_samples(wav_output& out, std::span<const std::int16_t> samples)
{
    const std::uint64_t limit =
        out.header_bytes +
        (out.header_bytes == canonical_header_bytes ? canonical_data_limit : wav_length_limit - wav_header_bytes);
    if (out.length + 2 * samples.size() > limit) {
        return append_status::size_limit_reached;
    }
    while (!samples.empty()) {
        if (out.pending_used == out.pending.size() && write_pending_samples(out) != io_status::ok) {
            return append_status::write_failed;
        }
        const std::size_t take = std::min(samples.size(), (out.pending.size() - out.pending_used) / 2);
        std::uint8_t* bytes = out.pending.data() + out.pending_used;
        for (const std::int16_t sample : samples.first(take)) {
            const auto bits = static_cast<std::uint16_t>(sample);
            *bytes++ = static_cast<std::uint8_t>(bits);
            *bytes++ = static_cast<std::uint8_t>(bits >> 8U);
        }
        out.pending_used += 2 * take;
        out.length += 2 * take;
        samples = samples.subspan(take);
    }
    return append_status::ok;
}

io_status write_pending_samples(wav_output& out)
{
    const io_status status = out.sink.write(std::span{out.pending}.first(out.pending_used));
    out.pending_used = 0;
    return status;
}

sample_chunk make_sample_chunk(std::uint32_t rate, sample_loop loop)
{
    constexpr std::uint32_t unity_note = 60;
    sample_chunk chunk{};
    put_tag(chunk, 0, "smpl");                                                            // sampler chunk
    put_u32(chunk, 4, sample_chunk_bytes - 8);                                            // its size: 36 and a loop
    put_u32(chunk, 16, static_cast<std::uint32_t>((1'000'000'000ULL + rate / 2) / rate)); // sample period, ns
    put_u32(chunk, 20, unity_note);                                                       // plays at its own rate
    put_u32(chunk, 36, 1);                                                                // loops: one
    put_u32(chunk, 44 + 4, 0);                                                            // the loop: forward
    put_u32(chunk, 44 + 8, loop.start);                                                   // its first frame
    put_u32(chunk, 44 + 12, loop.end);                                                    // its last, played
    put_u32(chunk, 44 + 20, 0);                                                           // endless
    return chunk;
}

io_status finish_wav(wav_output& out, std::span<const std::uint8_t> trailing_chunk)
{
    std::uint64_t file_length = 0;
    const std::uint64_t data_size = out.length - out.header_bytes;
    if (write_pending_samples(out) != io_status::ok ||
        (!trailing_chunk.empty() && out.sink.write(trailing_chunk) != io_status::ok) ||
        out.sink.query_position(file_length) != io_status::ok || file_length != out.length + trailing_chunk.size()) {
        return io_status::failed;
    }
    const bool programs_header = out.header_bytes == wav_header_bytes;
    if (patch_u32(out.sink, riff_size_offset, file_length - 8) != io_status::ok ||
        patch_u32(out.sink, programs_header ? data_size_offset : canonical_data_size_offset, data_size) !=
            io_status::ok) {
        return io_status::failed;
    }
    if (programs_header && patch_u32(out.sink, sample_count_offset, data_size / out.frame_bytes) != io_status::ok) {
        return io_status::failed;
    }
    return io_status::ok;
}
