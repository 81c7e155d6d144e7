#pragma once

#include "adpcm.hpp"

#include <cstdint>
#include <span>
#include <vector>

// A closed-loop encoder for making test sound: for each 28 samples it tries
// every filter 0-4 and shift 0-12, decodes each candidate with decode_block
// from the same state the real decoder will have, and keeps the candidate
// with the least squared error. `state` runs on as the decoder's will.
[[nodiscard]] adpcm_block encode_block(std::span<const std::int16_t, samples_per_block> samples,
                                       predictor_state& state);

// The whole signal as blocks; a last partial block is padded with silence.
[[nodiscard]] std::vector<adpcm_block> encode_signal(std::span<const std::int16_t> signal);
