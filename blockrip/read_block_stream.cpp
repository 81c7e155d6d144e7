#include "blockrip.hpp"

stage_outcome read_block_stream(input_stream& input, wav_output& output, predictor_state& state, console& messages)
{
    adpcm_block block{};
    for (;;) {
        if (const std::optional<stage_outcome> stop = read_stop(input.read(block.bytes))) {
            return *stop;
        }
        if (const std::optional<stage_outcome> stop = pass_block(block, state, output, messages)) {
            return *stop;
        }
    }
}
