#pragma once

// VAG files: one SPU-ADPCM sample behind a 48-byte big-endian header that
// gives its rate, converted at that rate up to the block that ends the
// sample, with its loop kept.
#include "conversion_run.hpp"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

inline constexpr std::size_t vag_header_bytes = 48;
// A rate that cannot be right becomes this, and the conversion says so.
inline constexpr std::uint32_t vag_fallback_rate = 22050;
inline constexpr std::uint32_t vag_max_rate = 192000;

struct vag_header {
    std::uint32_t version;
    std::uint32_t data_bytes; // as the header says; real files say more or less than they hold
    std::uint32_t rate;       // samples per second, as the header says
    std::string name;         // the name at 0x20: up to 16 printable characters
};

// Whether the bytes begin with "VAGp".
[[nodiscard]] bool starts_with_vag(std::span<const std::uint8_t> bytes);

[[nodiscard]] vag_header read_vag_header(std::span<const std::uint8_t, vag_header_bytes> bytes);

// The rate a sample is written at: the header's, or the fallback where that
// is 0 or above vag_max_rate.
[[nodiscard]] std::uint32_t vag_output_rate(const vag_header& header);

// How a sample's blocks end, from their flags (byte 1): the first block with
// the loop-end bit ends it, and repeats from the last block before it with
// the loop-start bit (from the first block where none has it) where it also
// has the repeat bit.
struct sample_end {
    bool ended = false;              // a block ended the sample; otherwise the data ran out
    std::optional<sample_loop> loop; // in frames from the sample's first block
};

// Writes the sample that follows the header in `file` (the header itself
// read already) as a mono WAV file at `rate` under the canonical header,
// with a "smpl" chunk where it loops: whole blocks from zero state, up to
// and including the block that ends the sample, and no further than
// `data_bytes` or the file.
struct vag_conversion {
    stage_outcome outcome;
    sample_end end;
};
[[nodiscard]] vag_conversion convert_vag_sample(input_stream& file, std::uint64_t data_bytes, std::uint32_t rate,
                                                wav_output& output, console& messages);
