#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

class console;

inline constexpr std::size_t adpcm_block_bytes = 16;
inline constexpr std::size_t samples_per_block = 28;

// One block as it stands in the input: byte 0 holds filterid (high nibble) and
// shift (low nibble), byte 1 holds flags that nothing looks at, bytes 2-15 hold
// 28 signed 4-bit codes, low nibble first.
struct adpcm_block {
    std::array<std::uint8_t, adpcm_block_bytes> bytes;
};

struct pcm_block {
    std::array<std::int16_t, samples_per_block> samples;
};

// The last two decoded values, unclamped and at 16 times the sample scale.
// They stay unclamped because the format predicts from what the encoder
// meant, not from what a 16-bit output could hold: clamping them would change
// every sample after a loud passage.
struct predictor_state {
    std::int32_t prev1;
    std::int32_t prev2;
};

// Prediction weights: the SPU's filter coefficients (in 64ths) times 1024.
struct filter_weights {
    std::int32_t k1;
    std::int32_t k2;
};

constexpr std::array<filter_weights, 5> filter_table{{
    {0, 0},       // filter 0: no prediction
    {960, 0},     // filter 1: 60/64
    {1840, -832}, // filter 2: 115/64, -52/64
    {1568, -880}, // filter 3: 98/64, -55/64
    {1952, -960}, // filter 4: 122/64, -60/64
}};

// Decodes the block's 28 codes into `out` and runs the state on. A filterid
// above 4 prints two warning lines on `messages` and the block is decoded
// with the weights of filter 0.
void decode_block(const adpcm_block& block, predictor_state& state, pcm_block& out, console& messages);
