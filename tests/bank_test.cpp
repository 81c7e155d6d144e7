#include "sound_bank.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using bytes = std::vector<std::uint8_t>;

void put16(bytes& out, std::size_t at, std::uint32_t value)
{
    out[at] = static_cast<std::uint8_t>(value);
    out[at + 1] = static_cast<std::uint8_t>(value >> 8U);
}

void put32(bytes& out, std::size_t at, std::uint32_t value)
{
    put16(out, at, value & 0xFFFFU);
    put16(out, at + 2, value >> 16U);
}

struct tone {
    std::uint8_t program;
    std::uint8_t slot;
    std::uint8_t centre;
    std::uint8_t fine_tune;
    std::uint8_t sample;
};

// A .VH of `programs` programs (the count field holding `field`), with the
// tones given (each program has as many as its highest slot needs) and the
// sample sizes in bytes; its recorded size counts `body` bytes after it.
bytes make_header(std::uint16_t programs, std::uint16_t field, const std::vector<tone>& tones,
                  const std::vector<std::uint32_t>& sizes, std::uint64_t body)
{
    bytes header(0x820 + std::size_t{programs} * 0x200 + 0x200, 0);
    std::copy_n("pBAV", 4, header.begin());
    put32(header, 4, 7);
    put32(header, 0x0C, static_cast<std::uint32_t>(header.size() + body));
    put16(header, 0x12, field);
    for (const tone& t : tones) {
        std::uint8_t& count = header[0x20 + 16 * std::size_t{t.program}];
        count = std::max<std::uint8_t>(count, static_cast<std::uint8_t>(t.slot + 1));
        const std::size_t at = 0x820 + std::size_t{t.program} * 0x200 + std::size_t{t.slot} * 32;
        header[at + 4] = t.centre;
        header[at + 5] = t.fine_tune;
        put16(header, at + 0x14, t.program);
        put16(header, at + 0x16, t.sample);
    }
    for (std::size_t n = 0; n < sizes.size(); ++n) {
        put16(header, header.size() - 0x200 + 2 * n, sizes[n] / 8);
    }
    return header;
}

TEST(sound_bank, the_sizes_locate_each_sample_and_its_first_tone_gives_its_rate)
{
    const std::vector<std::uint32_t> sizes{0, 4096, 2048, 1024, 512};
    const std::vector<tone> tones{{0, 0, 60, 0, 1}, {0, 1, 48, 0, 2}, {1, 0, 72, 0, 2}, {1, 1, 60, 64, 3}};
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
        const bytes header = make_header(2, c.field, tones, sizes, body);
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
