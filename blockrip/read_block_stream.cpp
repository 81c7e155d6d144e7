#include "blockrip.hpp"

stage_outcome read_block_stream(input_stream& input, wav_output& output, predictor_state& state, console& messages)
{
    adpcm_block block{};
    for (;;) {
        switch (input.read(block.bytes)) {
        case read_status::complete:
            break;
        case read_status::ended:
            return stage_outcome::finished;
        case read_status::failed:
            return stage_outcome::read_failed;
        case read_status::interrupted:
            return stage_outcome::interrupted;
        }
        if (const std::optional<stage_outcome> stop = pass_block(block, state, output, messages)) {
            return *stop;
        }
    }
}
