#include "reference_decoding.hpp"

#include "memory_streams.hpp"

decoded_blocks decode_all(std::span<const adpcm_block> blocks)
{
    string_console messages;
    predictor_state state{0, 0};
    decoded_blocks decoded;
    for (const adpcm_block& block : blocks) {
        pcm_block out{};
        decode_block(block, state, out, messages);
        decoded.samples.insert(decoded.samples.end(), out.samples.begin(), out.samples.end());
    }
    decoded.messages = messages.text;
    return decoded;
}
