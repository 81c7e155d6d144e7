#pragma once

#include "adpcm.hpp"

#include <span>
#include <string>
#include <vector>

// What a run must make of these blocks: each decoded in turn from a zeroed
// state, the samples one after another, and the decoder's messages.
struct decoded_blocks {
    std::vector<std::int16_t> samples;
    std::string messages;
};

[[nodiscard]] decoded_blocks decode_all(std::span<const adpcm_block> blocks);
