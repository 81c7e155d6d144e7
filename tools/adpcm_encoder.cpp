#include "adpcm_encoder.hpp"

#include "console.hpp"

#include <algorithm>
#include <limits>

namespace {

constexpr unsigned max_encoder_shift = 12;

// The encoder only makes filters 0-4, which never warn.
class silent_console final : public console {
public:
    void print(std::string_view /*text*/) override {}
};

// Chooses each code greedily, following the decoder's arithmetic step by step
// so that later codes correct the error of earlier ones.
adpcm_block candidate_block(std::span<const std::int16_t, samples_per_block> samples, unsigned filterid, unsigned shift,
                            predictor_state state)
{
    adpcm_block block{};
    block.bytes[0] = static_cast<std::uint8_t>((filterid << 4U) | shift);
    const std::uint32_t neg_k1 = 0U - static_cast<std::uint32_t>(filter_table[filterid].k1);
    const std::uint32_t k2 = static_cast<std::uint32_t>(filter_table[filterid].k2);
    for (std::size_t i = 0; i < samples_per_block; ++i) {
        const std::uint32_t q =
            neg_k1 * static_cast<std::uint32_t>(state.prev1) - k2 * static_cast<std::uint32_t>(state.prev2);
        const std::int32_t prediction = -(static_cast<std::int32_t>(q) >> 10);
        const std::int64_t target = std::int64_t{samples[i]} * 16;
        std::int32_t best_value = 0;
        unsigned best_code = 0;
        std::int64_t best_error = std::numeric_limits<std::int64_t>::max();
        for (int n = -8; n <= 7; ++n) {
            const std::int32_t value = ((n * 4096) >> shift) * 16 + prediction;
            const std::int64_t clamped = std::clamp<std::int64_t>(value, -0x80000, 0x7FFF0);
            const std::int64_t error = (clamped - target) * (clamped - target);
            if (error < best_error) {
                best_error = error;
                best_value = value;
                best_code = static_cast<unsigned>(n) & 0x0FU;
            }
        }
        block.bytes[2 + i / 2] |= static_cast<std::uint8_t>(best_code << (4 * (i % 2)));
        state.prev2 = state.prev1;
        state.prev1 = best_value;
    }
    return block;
}

} // namespace

adpcm_block encode_block(std::span<const std::int16_t, samples_per_block> samples, predictor_state& state)
{
    silent_console quiet;
    adpcm_block best_block{};
    predictor_state best_state{};
    std::int64_t best_error = std::numeric_limits<std::int64_t>::max();
    for (unsigned filterid = 0; filterid < filter_table.size(); ++filterid) {
        for (unsigned shift = 0; shift <= max_encoder_shift; ++shift) {
            const adpcm_block block = candidate_block(samples, filterid, shift, state);
            predictor_state after = state;
            pcm_block decoded{};
            decode_block(block, after, decoded, quiet);
            std::int64_t error = 0;
            for (std::size_t i = 0; i < samples_per_block; ++i) {
                const std::int64_t difference = std::int64_t{decoded.samples[i]} - samples[i];
                error += difference * difference;
            }
            if (error < best_error) {
                best_error = error;
                best_block = block;
                best_state = after;
            }
        }
    }
    state = best_state;
    return best_block;
}

std::vector<adpcm_block> encode_signal(std::span<const std::int16_t> signal)
{
    std::vector<adpcm_block> blocks;
    predictor_state state{0, 0};
    for (std::size_t start = 0; start < signal.size(); start += samples_per_block) {
        std::array<std::int16_t, samples_per_block> samples{};
        const std::size_t count = std::min(samples_per_block, signal.size() - start);
        std::copy_n(signal.begin() + static_cast<std::ptrdiff_t>(start), count, samples.begin());
        blocks.push_back(encode_block(samples, state));
    }
    return blocks;
}
