// The XA decoder against Debian's ffmpeg, which reads files of raw XA
// sectors and, for 4-bit codes with filters 0-3 and shifts 0-12, follows the
// hardware's arithmetic. Where it does not (8-bit codes, which it decodes as
// 4-bit; shifts 13-15; the end of a file; file numbers) nothing is compared.
#include "support/programs.hpp"
#include "xa_encoder.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace {

// Sound that takes every filter and many shifts: tones, a sweep, bursts of
// noise and silence.
std::vector<std::int16_t> test_sound(std::size_t frames, std::size_t channels, std::uint32_t seed)
{
    std::vector<std::int16_t> samples(frames * channels);
    std::uint32_t noise = seed;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double t = static_cast<double>(i / channels);
        noise = noise * 1664525U + 1013904223U;
        const double burst = (i / 3000) % 3 == 1 ? static_cast<double>(static_cast<std::int32_t>(noise) >> 17) : 0;
        const double level = 12000 * std::sin(t * (0.01 + 0.02 * static_cast<double>(i % channels))) +
                             9000 * std::sin(t * t * 1e-6) + burst;
        samples[i] = static_cast<std::int16_t>(std::clamp(level, -32768.0, 32767.0));
    }
    return samples;
}

struct stream_case {
    std::string name;
    xa_coding coding;
    bool half_rate;
};

class xa_ffmpeg_test : public ::testing::TestWithParam<stream_case> {};

TEST_P(xa_ffmpeg_test, decodes_what_ffmpeg_decodes)
{
    const stream_case& c = GetParam();
    const std::size_t channels = c.coding.stereo ? 2 : 1;
    const std::vector<xa_sound> sectors = encode_xa(test_sound(40000, channels, 7), c.coding);
    const std::filesystem::path file = std::filesystem::temp_directory_path() / ("xa-" + c.name + ".xa");
    {
        std::ofstream out{file, std::ios::binary};
        for (std::uint32_t i = 0; i < sectors.size(); ++i) {
            const auto raw =
                xa_raw_sector(i, {1, 3, xa_audio_submode, xa_coding_byte(c.coding, c.half_rate)}, sectors[i]);
            out.write(reinterpret_cast<const char*>(raw.data()), static_cast<std::streamsize>(raw.size()));
        }
    }
    running_program ffmpeg{
        RIPPERS_FFMPEG,
        {RIPPERS_FFMPEG, "-v", "error", "-f", "psxstr", "-i", file.string(), "-map", "0:a:0", "-f", "s16le", "-"},
        std::filesystem::temp_directory_path()};
    const program_result theirs = ffmpeg.wait();
    std::filesystem::remove(file);
    ASSERT_EQ(theirs.exit_status, 0) << theirs.errors;

    std::vector<std::int16_t> ours;
    std::set<int> filters;
    std::set<int> shifts;
    xa_stream_state state{};
    std::array<std::int16_t, xa_max_sector_samples> samples{};
    for (const xa_sound& sound : sectors) {
        const std::size_t count = decode_xa_sector(sound, c.coding, state, samples);
        ours.insert(ours.end(), samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(count));
        for (std::size_t g = 0; g < xa_groups_per_sector; ++g) {
            for (std::size_t unit = 0; unit < 8; ++unit) {
                filters.insert(sound[g * xa_group_bytes + 4 + unit] >> 4U);
                shifts.insert(sound[g * xa_group_bytes + 4 + unit] & 0x0F);
            }
        }
    }
    ASSERT_EQ(theirs.output.size(), 2 * ours.size());
    std::size_t differ = 0;
    for (std::size_t i = 0; i < ours.size(); ++i) {
        const auto low = static_cast<std::uint8_t>(theirs.output[2 * i]);
        const auto high = static_cast<std::uint8_t>(theirs.output[2 * i + 1]);
        differ += static_cast<std::int16_t>(low | high << 8U) != ours[i] ? 1U : 0U;
    }
    EXPECT_EQ(differ, 0U) << "samples of " << ours.size();
    EXPECT_EQ(filters.size(), 4U);
    EXPECT_GE(shifts.size(), 8U);
}

void PrintTo(const stream_case& c, std::ostream* out)
{
    *out << c.name;
}

INSTANTIATE_TEST_SUITE_P(xa_adpcm, xa_ffmpeg_test,
                         ::testing::Values(stream_case{"mono_37800", {false, false}, false},
                                           stream_case{"mono_18900", {false, false}, true},
                                           stream_case{"stereo_37800", {true, false}, false},
                                           stream_case{"stereo_18900", {true, false}, true}));

} // namespace
