#include "adpcm.hpp"

#include "console.hpp"

#include <algorithm>
#include <charconv>
#include <string_view>

namespace {

constexpr std::int32_t value_min = -0x80000;
constexpr std::int32_t value_max = 0x7FFF0;

// Code i as a signed 4-bit value scaled by 4096 and shifted right by `shift`.
// The nibble is moved to the top of a 32-bit word so that one arithmetic shift
// both sign-extends it and applies the scale (2^12 = 2^(28 - 16)) and `shift`.
inline std::int32_t scaled_code(const adpcm_block& block, std::size_t i, unsigned shift)
{
    const std::uint32_t nibble = (std::uint32_t{block.bytes[2 + i / 2]} >> (4 * (i % 2))) & 0x0FU;
    const std::uint32_t nibble_on_top = nibble << 28U;
    return static_cast<std::int32_t>(nibble_on_top) >> (16 + shift);
}

inline std::int16_t output_sample(std::int32_t value)
{
    return static_cast<std::int16_t>(std::clamp(value, value_min, value_max) >> 4);
}

// Filter 0 predicts nothing, so the samples do not depend on each other and
// the loop is free of the predictor's serial chain.
void decode_unpredicted(const adpcm_block& block, unsigned shift, predictor_state& state, pcm_block& out)
{
    std::array<std::int32_t, samples_per_block> values{};
    // Unrolled, every code's byte and nibble position is a constant.
#pragma GCC unroll 28
    for (std::size_t i = 0; i < samples_per_block; ++i) {
        values[i] = scaled_code(block, i, shift) * 16;
        out.samples[i] = output_sample(values[i]);
    }
    state.prev2 = values[samples_per_block - 2];
    state.prev1 = values[samples_per_block - 1];
}

void decode_predicted(const adpcm_block& block, unsigned shift, filter_weights weights, predictor_state& state,
                      pcm_block& out)
{
    // The products may leave the 32-bit range with loud input; the format
    // defines them modulo 2^32, which unsigned arithmetic gives without
    // undefined behaviour.
    const std::uint32_t neg_k1 = 0U - static_cast<std::uint32_t>(weights.k1);
    const std::uint32_t k2 = static_cast<std::uint32_t>(weights.k2);
    std::int32_t prev1 = state.prev1;
    std::int32_t prev2 = state.prev2;
#pragma GCC unroll 28
    for (std::size_t i = 0; i < samples_per_block; ++i) {
        const std::uint32_t q = neg_k1 * static_cast<std::uint32_t>(prev1) - k2 * static_cast<std::uint32_t>(prev2);
        // Forming the prediction negated and shifting it rounds the added
        // prediction up; that rounding is part of the format's output.
        const std::int32_t value = scaled_code(block, i, shift) * 16 - (static_cast<std::int32_t>(q) >> 10);
        prev2 = prev1;
        prev1 = value;
        out.samples[i] = output_sample(value);
    }
    state.prev1 = prev1;
    state.prev2 = prev2;
}

// Formatted in place: a stream of such blocks must not allocate per block.
void report_unknown_filter(unsigned filterid, console& messages)
{
    constexpr std::string_view prefix = "filterid = ";
    std::array<char, 32> line{};
    char* end = std::copy(prefix.begin(), prefix.end(), line.begin());
    end = std::to_chars(end, line.end(), filterid).ptr;
    end = std::copy_n(",\r\n", 3, end);
    messages.print("WARNING: out of bounds\r\n");
    messages.print({line.data(), static_cast<std::size_t>(end - line.data())});
}

} // namespace

void decode_block(const adpcm_block& block, predictor_state& state, pcm_block& out, console& messages)
{
    const unsigned filterid = block.bytes[0] >> 4U;
    const unsigned shift = block.bytes[0] & 0x0FU;
    filter_weights weights = filter_table[0];
    if (filterid < filter_table.size()) {
        weights = filter_table[filterid];
    } else {
        report_unknown_filter(filterid, messages);
    }
    if (weights.k1 == 0 && weights.k2 == 0) {
        decode_unpredicted(block, shift, state, out);
    } else {
        decode_predicted(block, shift, weights, state, out);
    }
}
