#pragma once

#include "conversion_run.hpp"

// Walks the video container's chunks and decodes the payload of every "Ad10"
// chunk as one continuous stream; every other chunk is stepped over unread.
[[nodiscard]] stage_outcome scan_chunks(input_stream& input, wav_output& output, predictor_state& state,
                                        console& messages);

enum class [[nodiscard]] container_guess { container, raw_stream, unreadable };

// Whether a file of unknown kind is a video container: every chunk header,
// walked from the start, has a printable 4-byte tag and a size of 8 or more.
// The last chunk may run past the end, and fewer than 8 bytes may follow it;
// an empty file is a container without chunks. Anything else is taken for a
// raw block stream.
container_guess guess_container(input_stream& input);

extern const converter_profile cinerip_profile;
