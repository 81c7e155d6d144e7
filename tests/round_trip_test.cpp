// Recognisable sound through the test encoder and each program's whole path
// comes back as the same sound.
#include "adpcm_encoder.hpp"
#include "file_writer.hpp"
#include "sample_files.hpp"
#include "support/programs.hpp"
#include "support/test_files.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>

namespace {

double snr_db(std::span<const std::int16_t> source, std::span<const std::int16_t> decoded)
{
    double signal = 0;
    double noise = 0;
    for (std::size_t i = 0; i < source.size(); ++i) {
        const double error = static_cast<double>(decoded[i]) - source[i];
        signal += static_cast<double>(source[i]) * source[i];
        noise += error * error;
    }
    return 10.0 * std::log10(signal / std::max(noise, 1.0));
}

// Passages that call for each of the five filters: silence, noise, and tones
// from low to high.
std::vector<std::int16_t> filter_workout()
{
    std::vector<std::int16_t> signal(28 * 40, 0);
    std::mt19937 random{3};
    std::normal_distribution<double> noise{0.0, 4000.0};
    for (std::size_t i = 0; i < 28 * 40; ++i) {
        signal.push_back(static_cast<std::int16_t>(std::clamp(noise(random), -32000.0, 32000.0)));
    }
    for (const double frequency : {40.0, 150.0, 600.0, 1500.0, 3000.0}) {
        for (std::size_t i = 0; i < 28 * 80; ++i) {
            signal.push_back(static_cast<std::int16_t>(
                std::lround(20000.0 * std::sin(2 * 3.141592653589793 * frequency * static_cast<double>(i) / 22050))));
        }
    }
    return signal;
}

struct conversion {
    std::string program;
    std::string file;
    std::vector<std::uint8_t> input;
};

class round_trip_test : public ::testing::Test {
protected:
    temp_dir dir;

    std::vector<std::int16_t> convert(const conversion& c) const
    {
        EXPECT_TRUE(write_file(dir / c.file, c.input));
        const program_result result = run_program(c.program, {c.program, c.file}, dir.path());
        EXPECT_EQ(result.exit_status, 0) << result.output;
        return parse_wav(read_bytes(dir / (c.file + ".wav"))).samples;
    }
};

TEST_F(round_trip_test, melody_and_chord_come_back_clean)
{
    const std::vector<std::int16_t> melody = make_melody(22050);
    const std::vector<std::int16_t> chord = make_chord(11025);
    const std::vector<adpcm_block> melody_blocks = encode_signal(melody);
    const std::vector<adpcm_block> chord_blocks = encode_signal(chord);
    const std::vector<conversion> conversions{
        {cinerip_path(), "melody.str", build_container(melody_blocks, {{128, 3, 61}, {1024, 8, 5000}})},
        {blockrip_path(), "melody.vb", raw_block_stream(melody_blocks)},
        {cinerip_path(), "chord.str", build_container(chord_blocks, {{64}, {2000}})},
        {blockrip_path(), "chord.vb", raw_block_stream(chord_blocks)},
    };
    for (const conversion& c : conversions) {
        const std::vector<std::int16_t>& source = c.file.starts_with("melody") ? melody : chord;
        const std::vector<std::int16_t> decoded = convert(c);
        ASSERT_GE(decoded.size(), source.size()) << c.file;
        EXPECT_GE(snr_db(source, decoded), 30.0) << c.file;
    }
}

TEST_F(round_trip_test, every_filter_is_used_and_packaging_changes_nothing)
{
    const std::vector<std::int16_t> source = filter_workout();
    const std::vector<adpcm_block> blocks = encode_signal(source);
    std::set<int> filters;
    for (const adpcm_block& block : blocks) {
        filters.insert(block.bytes[0] >> 4U);
    }
    EXPECT_EQ(filters, (std::set<int>{0, 1, 2, 3, 4}));

    const std::vector<std::int16_t> from_stream = convert({blockrip_path(), "workout.vb", raw_block_stream(blocks)});
    EXPECT_GE(snr_db(source, from_stream), 30.0);
    const std::vector<container_plan> plans{
        {{1}, {0}}, {{7, 1, 200, 33}, {1, 4096, 16, 70000}}, {{blocks.size()}, {9}}};
    for (std::size_t i = 0; i < plans.size(); ++i) {
        const std::string file = "workout" + std::to_string(i) + ".str";
        EXPECT_EQ(convert({cinerip_path(), file, build_container(blocks, plans[i])}), from_stream) << file;
    }
}

} // namespace
