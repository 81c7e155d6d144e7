#pragma once

#include "adpcm.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Sound a listener recognises, for the bundled samples and the round-trip
// tests: a short melody and a chord, as 16-bit samples at `rate` per second.
[[nodiscard]] std::vector<std::int16_t> make_melody(std::uint32_t rate);
[[nodiscard]] std::vector<std::int16_t> make_chord(std::uint32_t rate);

// How blocks are laid into a video container: audio chunks of these many
// blocks, with other chunks of these payload sizes between them (both lists
// cycled). The file starts with an other chunk, as video files do.
struct container_plan {
    std::vector<std::size_t> audio_chunk_blocks;
    std::vector<std::size_t> other_chunk_bytes;
};

// A chunk header: the 4-byte tag, then `size` (the whole chunk's length)
// big-endian. Any size may be written, for malformed test files.
void append_chunk_header(std::vector<std::uint8_t>& file, std::string_view tag, std::uint32_t size);

void append_chunk(std::vector<std::uint8_t>& file, std::string_view tag, std::span<const std::uint8_t> payload);

[[nodiscard]] std::vector<std::uint8_t> build_container(std::span<const adpcm_block> blocks,
                                                        const container_plan& plan);

// Random blocks as an encoder could make them: filters 0-4 (or only
// `filterid`), shifts 0-12, flags 0-7 (the loop's start, repeat and end), any
// codes.
[[nodiscard]] std::vector<adpcm_block> random_blocks(std::size_t count, std::uint32_t seed,
                                                     std::optional<unsigned> filterid = std::nullopt);

[[nodiscard]] std::vector<std::uint8_t> raw_block_stream(std::span<const adpcm_block> blocks);
