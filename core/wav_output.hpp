#pragma once

#include "adpcm.hpp"
#include "streams.hpp"

#include <array>
#include <cstdint>
#include <vector>

// The input carries no rate; it only fills two header fields.
enum class sample_rate : std::uint32_t {
    hz11025 = 11025,
    hz22050 = 22050,
};

inline constexpr std::size_t wav_header_bytes = 58;
inline constexpr std::size_t pcm_block_bytes = 2 * samples_per_block;

// The header fields that hold sizes, written as 0 and patched at the end.
inline constexpr std::size_t riff_size_offset = 4;
inline constexpr std::size_t sample_count_offset = 46;
inline constexpr std::size_t data_size_offset = 54;

// The RIFF size (file length - 8) is a 32-bit field, which bounds the file:
// 76695843 blocks at the most.
inline constexpr std::uint64_t wav_length_limit = 8 + std::uint64_t{0xFFFFFFFF};

using wav_header = std::array<std::uint8_t, wav_header_bytes>;
static_assert(sizeof(wav_header) == 58);

// The header of a mono 16-bit PCM file at `rate`, with all sizes 0: the
// programs' layout, an 18-byte format chunk and a "fact" chunk before "data".
[[nodiscard]] wav_header make_wav_header(sample_rate rate);

// 16-bit PCM of any channel count and rate, as the sound of a disc comes.
struct pcm_format {
    std::uint16_t channels;
    std::uint32_t rate; // frames per second
};

// The canonical header: a 16-byte format chunk, then "data". The RIFF size
// (the data and 36 bytes) is a 32-bit field.
inline constexpr std::size_t canonical_header_bytes = 44;
inline constexpr std::size_t canonical_data_size_offset = 40;
inline constexpr std::uint64_t canonical_data_limit = 0xFFFFFFFFU - 36;

using canonical_wav_header = std::array<std::uint8_t, canonical_header_bytes>;
static_assert(sizeof(canonical_wav_header) == 44);

// The canonical header for `data_bytes` bytes of samples (at most
// canonical_data_limit).
[[nodiscard]] canonical_wav_header make_canonical_wav_header(pcm_format format, std::uint32_t data_bytes);

enum class [[nodiscard]] append_status{ok, write_failed, size_limit_reached};

// One write of pending samples per 16384 blocks (0.9 MiB), the output of
// 256 KiB of input: writes that size cost no more per byte than larger ones,
// on disks and in the browsers' file systems alike.
inline constexpr std::size_t default_pending_blocks = 16384;

// The WAV file being written. Samples collect in one fixed buffer that is
// written in large pieces; `length` counts every byte handed to the sink.
// `header_bytes` says which header the file has: the programs' 58 bytes or
// the canonical 44.
struct wav_output {
    explicit wav_output(byte_sink& destination, std::size_t pending_blocks = default_pending_blocks);

    byte_sink& sink;
    std::vector<std::uint8_t> pending;
    std::size_t pending_used = 0;
    std::uint64_t length = 0;
    std::size_t header_bytes = wav_header_bytes;
    std::uint16_t frame_bytes = 2;
};

// The programs' header, mono at `rate`.
[[nodiscard]] io_status write_wav_header(wav_output& out, sample_rate rate);

// The canonical header, of any channel count and rate, its sizes patched by
// finish_wav.
[[nodiscard]] io_status write_canonical_header(wav_output& out, pcm_format format);

// Samples of any count, interleaved as the format's channels are, into the
// WAV data.
[[nodiscard]] append_status append_pcm_samples(wav_output& out, std::span<const std::int16_t> samples);

[[nodiscard]] io_status write_pending_samples(wav_output& out);

inline append_status append_samples(wav_output& out, const pcm_block& block)
{
    if (out.length + pcm_block_bytes > wav_length_limit) {
        return append_status::size_limit_reached;
    }
    if (out.pending_used + pcm_block_bytes > out.pending.size() && write_pending_samples(out) != io_status::ok) {
        return append_status::write_failed;
    }
    std::uint8_t* bytes = out.pending.data() + out.pending_used;
    for (const std::int16_t sample : block.samples) {
        const auto bits = static_cast<std::uint16_t>(sample);
        *bytes++ = static_cast<std::uint8_t>(bits);
        *bytes++ = static_cast<std::uint8_t>(bits >> 8U);
    }
    out.pending_used += pcm_block_bytes;
    out.length += pcm_block_bytes;
    return append_status::ok;
}

// One forward loop of a sample, endless, in sample frames from the first
// frame of the data; the end frame is played.
struct sample_loop {
    std::uint32_t start;
    std::uint32_t end;
};

inline constexpr std::size_t sample_chunk_bytes = 68;
using sample_chunk = std::array<std::uint8_t, sample_chunk_bytes>;

// A "smpl" chunk that gives players and samplers the loop: the sample
// period for `rate`, MIDI unity note 60, and one loop record.
[[nodiscard]] sample_chunk make_sample_chunk(std::uint32_t rate, sample_loop loop);

// Writes what is pending, then `trailing_chunk` (a chunk after the data,
// such as the loop's), and patches the sizes (three in the programs'
// header, two in the canonical one) from the file length the sink reports.
// Fails if a write fails or if that length is not the length written.
[[nodiscard]] io_status finish_wav(wav_output& out, std::span<const std::uint8_t> trailing_chunk = {});
