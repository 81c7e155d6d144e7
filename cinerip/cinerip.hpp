#pragma once

#include "conversion_run.hpp"

#include <array>
#include <cstddef>
#include <cstdint>

// Walks the video container's chunks and decodes the payload of every "Ad10"
// chunk as one continuous stream; every other chunk is stepped over unread.
[[nodiscard]] stage_outcome scan_chunks(input_stream& input, wav_output& output, predictor_state& state,
                                        console& messages);

// A chunk's header: a 4-byte tag, compared byte for byte, then the size of
// the whole chunk, header included.
inline constexpr std::size_t chunk_header_bytes = 8;
using chunk_header = std::array<std::uint8_t, chunk_header_bytes>;

// Whether the tag is "Ad10", in that letter case.
[[nodiscard]] bool is_audio_chunk(const chunk_header& header);
[[nodiscard]] std::uint32_t chunk_size(const chunk_header& header);
// Whether the tag is four printable ASCII characters, as every tag of the
// container is.
[[nodiscard]] bool has_printable_tag(const chunk_header& header);

extern const converter_profile cinerip_profile;
