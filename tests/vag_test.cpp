#include "bank_files.hpp"
#include "sample_files.hpp"
#include "support/memory_streams.hpp"
#include "support/reference_decoding.hpp"
#include "support/wav_reading.hpp"
#include "vag_file.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using bytes = std::vector<std::uint8_t>;

TEST(vag, the_header_is_big_endian_and_a_rate_that_cannot_be_right_falls_back)
{
    const bytes file = make_vag_header(0x20, 4096, 44100, "PIANO C4");
    ASSERT_TRUE(starts_with_vag(file));
    const vag_header header = read_vag_header(std::span{file}.first<vag_header_bytes>());
    EXPECT_EQ(header.version, 0x20U);
    EXPECT_EQ(header.data_bytes, 4096U);
    EXPECT_EQ(header.name, "PIANO C4");
    for (const auto& [rate, written] :
         {std::pair{44100U, 44100U}, std::pair{0U, 22050U}, std::pair{192000U, 192000U}, std::pair{192001U, 22050U}}) {
        EXPECT_EQ(vag_output_rate({0x20, 0, rate, {}}), written) << rate;
    }
    EXPECT_FALSE(starts_with_vag(bytes{'V', 'A', 'G', 'i'}));
}

struct end_case {
    std::string name;
    std::vector<std::uint8_t> flags; // one a block
    std::uint64_t data_bytes;
    std::size_t blocks_written;
    bool ended;
    std::optional<sample_loop> loop;
};

void PrintTo(const end_case& c, std::ostream* out)
{
    *out << c.name;
}

class vag_end_test : public ::testing::TestWithParam<end_case> {};

// The blocks up to the one that ends the sample, decoded from zero state, and
// its loop in frames; padding after the end, and data past the header's size
// or the file, are not sound.
TEST_P(vag_end_test, stops_at_the_end_block_and_keeps_the_loop)
{
    const end_case& c = GetParam();
    std::vector<adpcm_block> blocks = random_blocks(c.flags.size(), 5);
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        blocks[i].bytes[1] = c.flags[i];
    }
    const bytes data = raw_block_stream(blocks);
    memory_source source{data, 20};
    input_stream file{source};
    memory_sink sink;
    wav_output output{sink};
    string_console messages;
    const vag_conversion converted = convert_vag_sample(file, c.data_bytes, 44100, output, messages);
    ASSERT_EQ(converted.outcome, stage_outcome::finished);
    EXPECT_EQ(converted.end.ended, c.ended);
    ASSERT_EQ(converted.end.loop.has_value(), c.loop.has_value());
    if (c.loop) {
        EXPECT_EQ(converted.end.loop->start, c.loop->start);
        EXPECT_EQ(converted.end.loop->end, c.loop->end);
    }
    const sample_chunk loop = make_sample_chunk(44100, converted.end.loop.value_or(sample_loop{}));
    ASSERT_EQ(
        finish_wav(output, converted.end.loop ? std::span<const std::uint8_t>{loop} : std::span<const std::uint8_t>{}),
        io_status::ok);

    const std::vector<std::int16_t> expected = decode_all(std::span{blocks}.first(c.blocks_written)).samples;
    const std::size_t data_bytes = 2 * expected.size();
    ASSERT_EQ(sink.bytes.size(), 44 + data_bytes + (c.loop ? sample_chunk_bytes : 0));
    EXPECT_EQ(le32(sink.bytes, 4), sink.bytes.size() - 8);
    EXPECT_EQ(le32(sink.bytes, 40), data_bytes);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(static_cast<std::int16_t>(sink.bytes[44 + 2 * i] | sink.bytes[45 + 2 * i] << 8U), expected[i]) << i;
    }
    if (c.loop) {
        const std::size_t at = 44 + data_bytes;
        EXPECT_EQ(std::string(sink.bytes.begin() + static_cast<std::ptrdiff_t>(at),
                              sink.bytes.begin() + static_cast<std::ptrdiff_t>(at + 4)),
                  "smpl");
        EXPECT_EQ(le32(sink.bytes, at + 4), 60U);
        EXPECT_EQ(le32(sink.bytes, at + 8 + 8), 22676U); // ns a sample at 44100 Hz
        EXPECT_EQ(le32(sink.bytes, at + 8 + 12), 60U);   // unity note
        EXPECT_EQ(le32(sink.bytes, at + 8 + 28), 1U);    // one loop
        EXPECT_EQ(le32(sink.bytes, at + 8 + 44), c.loop->start);
        EXPECT_EQ(le32(sink.bytes, at + 8 + 48), c.loop->end);
    }
}

INSTANTIATE_TEST_SUITE_P(
    vag, vag_end_test,
    ::testing::Values(
        end_case{"loop_from_its_start_block", {0, 0, 0x04, 0, 0x03, 0x07, 0}, 7 * 16, 5, true, sample_loop{56, 139}},
        end_case{"one_shot_then_padding", {0, 0, 0x01, 0x07, 0}, 5 * 16, 3, true, std::nullopt},
        end_case{"loop_without_a_start_block_from_the_first", {0, 0, 0x03, 0}, 4 * 16, 3, true, sample_loop{0, 83}},
        end_case{
            "the_last_start_block_before_the_end", {0x04, 0x04, 0, 0x06, 0x03}, 5 * 16, 5, true, sample_loop{84, 139}},
        end_case{"no_end_block_within_the_header_size", {0, 0, 0, 0, 0x01}, 3 * 16 + 8, 3, false, std::nullopt},
        end_case{"a_size_past_the_file", {0, 0}, 100 * 16, 2, false, std::nullopt}));

} // namespace
