#pragma once

#include "wav_output.hpp"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// The WAV files the programs write, read back independently of how they are
// written: by position, with every multi-byte value put together from bytes.

[[nodiscard]] std::uint32_t le32(std::span<const std::uint8_t> bytes, std::size_t offset);

// Whether `wav` starts with the programs' header for `rate`, whatever its
// three patched sizes.
[[nodiscard]] bool has_wav_header(std::span<const std::uint8_t> wav, sample_rate rate);

// The samples after the header.
[[nodiscard]] std::vector<std::int16_t> samples_of(std::span<const std::uint8_t> wav);

struct wav_contents {
    std::uint32_t riff_size;
    std::uint32_t rate;
    std::uint32_t byte_rate;
    std::uint32_t sample_count;
    std::uint32_t data_size;
    std::vector<std::int16_t> samples;
};

// The header's fields and the samples, when `wav` starts with the programs'
// header at either rate.
[[nodiscard]] std::optional<wav_contents> read_wav(std::span<const std::uint8_t> wav);
