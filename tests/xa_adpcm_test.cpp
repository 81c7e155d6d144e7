#include "xa_adpcm.hpp"
#include "xa_encoder.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

struct xa_case {
    std::string name;
    xa_coding coding;
    std::array<std::uint8_t, 8> headers;
    std::function<int(std::size_t unit, std::size_t j)> code;
    std::size_t count;
    std::vector<std::pair<std::size_t, std::int16_t>> expected; // sample index, value
};

void PrintTo(const xa_case& c, std::ostream* out)
{
    *out << c.name;
}

class xa_group_test : public ::testing::TestWithParam<xa_case> {};

TEST_P(xa_group_test, decodes_to_the_bit)
{
    const xa_case& c = GetParam();
    const xa_group group = make_xa_group(c.coding.eight_bit, c.headers, c.code);
    xa_stream_state state{};
    std::array<std::int16_t, xa_max_group_samples> out{};
    EXPECT_EQ(decode_xa_group(group, c.coding, state, out), c.count);
    for (const auto& [at, value] : c.expected) {
        EXPECT_EQ(out[at], value) << "sample " << at;
    }
}

const auto zero = [](std::size_t, std::size_t) { return 0; };
const auto first_only = [](int first) {
    return [first](std::size_t unit, std::size_t j) { return unit == 0 && j == 0 ? first : 0; };
};

INSTANTIATE_TEST_SUITE_P(xa_adpcm, xa_group_test,
                         ::testing::Values(
                             // Units in time order, even units in the low nibble; codes times 4096.
                             xa_case{"mono_4_bit_unit_order",
                                     {false, false},
                                     {},
                                     [](std::size_t unit, std::size_t j) { return static_cast<int>(unit + j) % 16; },
                                     224,
                                     {{0, 0}, {1, 4096}, {7, 28672}, {8, -32768}, {28, 4096}, {28 * 7 + 27, 8192}}},
                             // The prediction floors: -1 fed back through filter 1 stays -1,
                             // where a division would give 0, from unit to unit of one channel.
                             xa_case{"prediction_rounds_down",
                                     {false, false},
                                     {0x1C, 0x10},
                                     first_only(15),
                                     224,
                                     {{0, -1}, {1, -1}, {27, -1}, {28, -1}, {29, -1}}},
                             // Shifts 13 to 15 act as 9; 12 is taken as it is.
                             xa_case{"shifts_past_12_act_as_9",
                                     {false, false},
                                     {0x0C, 0x0D, 0x0E, 0x0F},
                                     [](std::size_t, std::size_t j) { return j == 0 ? 1 : 0; },
                                     224,
                                     {{0, 1}, {28, 8}, {56, 8}, {84, 8}}},
                             // A sum past 32767 is clamped, and the clamped sample predicts the
                             // next: (60 * 32767 + 32) >> 6 = 30719.
                             xa_case{"the_clamped_sample_is_the_state",
                                     {false, false},
                                     {0x10},
                                     [](std::size_t unit, std::size_t j) { return unit == 0 && j < 2 ? 7 : 0; },
                                     224,
                                     {{0, 28672}, {1, 32767}, {2, 30719}}},
                             // 8-bit codes times 256, four units of a byte column each.
                             xa_case{"mono_8_bit",
                                     {false, true},
                                     {0x00, 0x00, 0x08, 0x00},
                                     [](std::size_t unit, std::size_t) {
                                         return std::array{0x7F, 0x80, 0x7F, 0x01}[unit];
                                     },
                                     112,
                                     {{0, 32512}, {28, -32768}, {56, 127}, {84, 256}, {111, 256}}},
                             // Left from even units, right from odd ones, each with its own state:
                             // 4096, then (60 * 4096 + 32) >> 6 = 3840 on the left only.
                             xa_case{"stereo_4_bit_sides",
                                     {true, false},
                                     {0x10, 0x10},
                                     first_only(1),
                                     224,
                                     {{0, 4096}, {1, 0}, {2, 3840}, {3, 0}, {4, 3600}}},
                             xa_case{"stereo_8_bit_sides",
                                     {true, true},
                                     {0x00, 0x00, 0x00, 0x00},
                                     [](std::size_t unit, std::size_t) { return static_cast<int>(unit) + 1; },
                                     112,
                                     {{0, 256}, {1, 512}, {54, 256}, {55, 512}, {56, 768}, {57, 1024}, {111, 1024}}}));

// The state runs on from group to group of a sector: a unit of filter 1 and
// zero codes carries on the last sample of the group before it.
TEST(xa_adpcm, a_sector_decodes_its_groups_in_order_with_one_state)
{
    std::array<std::uint8_t, xa_sector_sound_bytes> sound{};
    const xa_group first = make_xa_group(false, {0, 0, 0, 0, 0, 0, 0, 0x00},
                                         [](std::size_t unit, std::size_t j) { return unit == 7 && j == 27 ? 4 : 0; });
    const xa_group second = make_xa_group(false, {0x10}, zero);
    std::copy(first.begin(), first.end(), sound.begin());
    std::copy(second.begin(), second.end(), sound.begin() + xa_group_bytes);
    xa_stream_state state{};
    std::array<std::int16_t, xa_max_sector_samples> out{};
    ASSERT_EQ(decode_xa_sector(sound, {false, false}, state, out), xa_max_sector_samples);
    EXPECT_EQ(out[223], 16384);
    EXPECT_EQ(out[224], 15360); // (60 * 16384 + 32) >> 6
    EXPECT_EQ(out[225], 14400);
    EXPECT_EQ(out[2 * 224], 0); // group 2 is all zero: filter 0
}

} // namespace
