#pragma once

#include "conversion_run.hpp"

// Takes the whole input as 16-byte blocks; a tail of fewer is not a block.
[[nodiscard]] stage_outcome read_block_stream(input_stream& input, wav_output& output, predictor_state& state,
                                              console& messages);

extern const converter_profile blockrip_profile;
