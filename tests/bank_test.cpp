#include "bank_files.hpp"
#include "sound_bank.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using bytes = std::vector<std::uint8_t>;

TEST(sound_bank, the_sizes_locate_each_sample_and_its_first_tone_gives_its_rate)
{
    const std::vector<std::uint32_t> sizes{0, 4096, 2048, 1024, 512};
    const std::vector<bank_tone> tones{{0, 0, 60, 0, 1}, {0, 1, 48, 0, 2}, {1, 0, 72, 0, 2}, {1, 1, 60, 64, 3}};
    const std::uint64_t body = 4096 + 2048 + 1024 + 512;
    struct count_case {
        std::string name;
        std::uint16_t field;
        std::int64_t total_change;
        std::string error;
    };
    for (const count_case& c :
         {count_case{"the_field_is_the_count", 2, 0, ""}, count_case{"the_field_is_the_count_less_one", 1, 0, ""},
          count_case{"neither_adds_up", 5, 0, "a sound bank whose sizes do not add up to its files"},
          count_case{"the_files_hold_more", 2, 16, "a sound bank whose sizes do not add up to its files"}}) {
        const bytes header = make_bank_header(2, c.field, tones, sizes, body);
        const bank_contents bank = read_bank_header(
            header, static_cast<std::uint64_t>(static_cast<std::int64_t>(header.size() + body) + c.total_change));
        EXPECT_EQ(bank.error, c.error) << c.name;
        if (!c.error.empty()) {
            continue;
        }
        EXPECT_EQ(bank.header_bytes, header.size()) << c.name;
        EXPECT_EQ(bank.body_bytes, body);
        ASSERT_EQ(bank.samples.size(), 4U);
        // number, offset, bytes, rate: sample 2's first tone is centre 48,
        // an octave below middle C; sample 3's is raised half a semitone;
        // sample 4 has no tone.
        const std::vector<std::array<std::uint64_t, 4>> expected{
            {1, 0, 4096, 44100}, {2, 4096, 2048, 88200}, {3, 6144, 1024, 42845}, {4, 7168, 512, 44100}};
        for (std::size_t i = 0; i < expected.size(); ++i) {
            const bank_sample& s = bank.samples[i];
            EXPECT_EQ((std::array<std::uint64_t, 4>{s.number, s.offset, s.bytes, s.rate}), expected[i]) << i;
        }
    }
    EXPECT_EQ(read_bank_header(bytes(0xA20, 0), 0xA20).error, "not a sound bank's header");
    EXPECT_EQ(rate_at_middle_c(72, 0), 22050U);
}

} // namespace
