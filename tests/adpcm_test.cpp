#include "adpcm.hpp"
#include "support/memory_streams.hpp"

#include <gtest/gtest.h>

#include <map>

namespace {

adpcm_block block_of(std::uint8_t header, std::uint8_t first_data, std::uint8_t other_data = 0)
{
    adpcm_block block{};
    block.bytes[0] = header;
    block.bytes[1] = 0xFF; // flags: never looked at
    for (std::size_t i = 2; i < adpcm_block_bytes; ++i) {
        block.bytes[i] = other_data;
    }
    block.bytes[2] = first_data;
    return block;
}

struct decoder_case {
    const char* name;
    adpcm_block block;
    predictor_state before;
    std::map<std::size_t, std::int16_t> samples; // index -> value; every other index is 0 unless `rest` says
    std::optional<std::int16_t> rest;
    predictor_state after;
};

void PrintTo(const decoder_case& c, std::ostream* out)
{
    *out << c.name;
}

class decode_block_test : public ::testing::TestWithParam<decoder_case> {};

TEST_P(decode_block_test, gives_exact_samples_and_state)
{
    const decoder_case& c = GetParam();
    string_console messages;
    predictor_state state = c.before;
    pcm_block out{};
    decode_block(c.block, state, out, messages);
    for (std::size_t i = 0; i < samples_per_block; ++i) {
        const auto listed = c.samples.find(i);
        if (listed != c.samples.end()) {
            EXPECT_EQ(out.samples[i], listed->second) << "sample " << i;
        } else if (c.rest) {
            EXPECT_EQ(out.samples[i], *c.rest) << "sample " << i;
        }
    }
    EXPECT_EQ(state.prev1, c.after.prev1);
    EXPECT_EQ(state.prev2, c.after.prev2);
    EXPECT_EQ(messages.text, "");
}

std::map<std::size_t, std::int16_t> range_of(std::size_t first, std::size_t last, std::int16_t value)
{
    std::map<std::size_t, std::int16_t> samples;
    for (std::size_t i = first; i <= last; ++i) {
        samples[i] = value;
    }
    return samples;
}

std::map<std::size_t, std::int16_t> merged(std::map<std::size_t, std::int16_t> a,
                                           const std::map<std::size_t, std::int16_t>& b)
{
    a.insert(b.begin(), b.end());
    return a;
}

INSTANTIATE_TEST_SUITE_P(
    exact_values, decode_block_test,
    ::testing::Values(
        decoder_case{"low_nibble_first", block_of(0x0C, 0x21), {0, 0}, {{0, 1}, {1, 2}}, 0, {0, 0}},
        decoder_case{"extreme_codes", block_of(0x00, 0x87), {0, 0}, {{0, 28672}, {1, -32768}}, 0, {0, 0}},
        decoder_case{"all_sevens", block_of(0x00, 0x77, 0x77), {0, 0}, {}, 28672, {458752, 458752}},
        decoder_case{"rounded_up_prediction_holds", block_of(0x1C, 0x00), {16, 0}, {}, 0, {15, 15}},
        decoder_case{"rounded_up_prediction_rises", block_of(0x1C, 0x00), {-16, 0}, range_of(0, 14, -1), 0, {0, 0}},
        decoder_case{"state_keeps_unclamped_values",
                     block_of(0x10, 0x77),
                     {0, 0},
                     merged(range_of(1, 9, 32767), {{0, 28672}, {10, 31077}, {11, 29134}, {12, 27314}, {27, 10374}}),
                     std::nullopt,
                     {165992, 177058}},
        decoder_case{
            "products_wrap",
            block_of(0x40, 0x77, 0x77),
            {0, 0},
            {{0, 28672}, {1, 32767}, {2, -32768}, {3, 19196}, {4, -32768}, {5, 32767}, {6, 12336}, {7, -21804}},
            std::nullopt,
            {857118, 1105868}},
        // Shifts above 12 are applied like any other, rounding toward minus infinity.
        decoder_case{"shift_13", block_of(0x0D, 0x07), {0, 0}, {{0, 3}}, 0, {0, 0}},
        decoder_case{"shift_15_negative", block_of(0x0F, 0xF8), {0, 0}, {{0, -1}, {1, -1}}, 0, {0, 0}}),
    [](const auto& test_info) { return std::string{test_info.param.name}; });

TEST(decode_block, takes_codes_word_by_word_low_nibble_first)
{
    adpcm_block block{};
    block.bytes[0] = 0x0C; // filter 0, shift 12: each sample is its code
    for (std::size_t i = 2; i < adpcm_block_bytes; ++i) {
        block.bytes[i] = static_cast<std::uint8_t>(((2 * i + 1) % 16) << 4 | (2 * i) % 16);
    }
    string_console messages;
    predictor_state state{0, 0};
    pcm_block out{};
    decode_block(block, state, out, messages);
    for (std::size_t i = 0; i < samples_per_block; ++i) {
        const int nibble = static_cast<int>((i + 4) % 16);
        EXPECT_EQ(out.samples[i], nibble < 8 ? nibble : nibble - 16) << "sample " << i;
    }
}

TEST(decode_block, out_of_bounds_filter_warns_each_time_and_predicts_nothing)
{
    for (const unsigned filterid : {5U, 9U, 15U}) {
        string_console messages;
        predictor_state state{123456, -98765}; // ignored: no prediction
        pcm_block out{};
        decode_block(block_of(static_cast<std::uint8_t>(filterid << 4 | 0x0C), 0x21), state, out, messages);
        decode_block(block_of(static_cast<std::uint8_t>(filterid << 4 | 0x0C), 0x21), state, out, messages);
        const std::string warning = "WARNING: out of bounds\r\nfilterid = " + std::to_string(filterid) + ",\r\n";
        EXPECT_EQ(messages.text, warning + warning);
        EXPECT_EQ(out.samples[0], 1);
        EXPECT_EQ(out.samples[1], 2);
        EXPECT_EQ(out.samples[2], 0);
        EXPECT_EQ(state.prev1, 0);
        EXPECT_EQ(state.prev2, 0);
    }
}

} // namespace
