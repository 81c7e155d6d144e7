#pragma once

#include "conversion_run.hpp"

// Walks the video container's chunks and decodes the payload of every "Ad10"
// chunk as one continuous stream; every other chunk is stepped over unread.
[[nodiscard]] stage_outcome scan_chunks(input_stream& input, wav_output& output, predictor_state& state,
                                        console& messages);

extern const converter_profile cinerip_profile;
