#include "support/memory_streams.hpp"
#include "support/wav_reading.hpp"
#include "wav_output.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

TEST(wav_header, is_byte_for_byte_the_mono_16_bit_layout)
{
    const wav_header expected{'R',  'I',  'F', 'F', 0,    0,    0, 0, 'W', 'A', 'V', 'E', // RIFF size patched later
                              'f',  'm',  't', ' ', 18,   0,    0, 0,                     // 18-byte format chunk
                              1,    0,    1,   0,                                         // PCM, mono
                              0x22, 0x56, 0,   0,   0x44, 0xAC, 0, 0, // 22050 per second, 44100 bytes
                              2,    0,    16,  0,   0,    0,          // block align, bits, extra bytes
                              'f',  'a',  'c', 't', 4,    0,    0, 0, 0,   0,   0,   0, // sample count patched later
                              'd',  'a',  't', 'a', 0,    0,    0, 0};                  // data size patched later
    EXPECT_EQ(make_wav_header(sample_rate::hz22050), expected);

    wav_header at_11025 = expected;
    at_11025[24] = 0x11;
    at_11025[25] = 0x2B;
    at_11025[28] = 0x22;
    at_11025[29] = 0x56;
    EXPECT_EQ(make_wav_header(sample_rate::hz11025), at_11025);
}

TEST(wav_header, canonical_layout_holds_any_channel_count_and_rate)
{
    struct header_case {
        pcm_format format;
        std::uint32_t data_bytes;
        std::uint32_t bytes_per_second;
        std::uint16_t block_align;
    };
    for (const header_case& c :
         {header_case{{1, 37800}, 0, 75600, 2}, header_case{{2, 18900}, 4, 75600, 4},
          header_case{{2, 44100}, 2352, 176400, 4}, header_case{{1, 192000}, 0xFFFFFFDB, 384000, 2}}) {
        const canonical_wav_header header = make_canonical_wav_header(c.format, c.data_bytes);
        const std::vector<std::uint8_t> bytes(header.begin(), header.end());
        EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
        EXPECT_EQ(le32(bytes, 4), c.data_bytes + 36);
        EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 16), "WAVEfmt ");
        EXPECT_EQ(le32(bytes, 16), 16U);
        EXPECT_EQ(le32(bytes, 20), 1U + (std::uint32_t{c.format.channels} << 16U));
        EXPECT_EQ(le32(bytes, 24), c.format.rate);
        EXPECT_EQ(le32(bytes, 28), c.bytes_per_second);
        EXPECT_EQ(le32(bytes, 32), c.block_align + (16U << 16U));
        EXPECT_EQ(std::string(bytes.begin() + 36, bytes.begin() + 40), "data");
        EXPECT_EQ(le32(bytes, 40), c.data_bytes);
    }
}

class wav_output_test : public ::testing::Test {
protected:
    static pcm_block counting_block(std::int16_t first)
    {
        pcm_block block{};
        for (std::size_t i = 0; i < samples_per_block; ++i) {
            block.samples[i] = static_cast<std::int16_t>(first - static_cast<std::int16_t>(i));
        }
        return block;
    }
};

TEST_F(wav_output_test, finish_patches_sizes_from_the_length)
{
    for (const std::size_t blocks : {std::size_t{0}, std::size_t{1}, default_pending_blocks, default_pending_blocks + 1,
                                     2 * default_pending_blocks + 10}) {
        memory_sink sink;
        wav_output out{sink};
        ASSERT_EQ(write_wav_header(out, sample_rate::hz22050), io_status::ok);
        for (std::size_t i = 0; i < blocks; ++i) {
            ASSERT_EQ(append_samples(out, counting_block(static_cast<std::int16_t>(i))), append_status::ok);
        }
        ASSERT_EQ(finish_wav(out), io_status::ok);
        ASSERT_EQ(sink.bytes.size(), 58 + 56 * blocks);
        EXPECT_EQ(le32(sink.bytes, 4), 50 + 56 * blocks);
        EXPECT_EQ(le32(sink.bytes, 46), 28 * blocks);
        EXPECT_EQ(le32(sink.bytes, 54), 56 * blocks);
        EXPECT_EQ(le32(sink.bytes, 24), 22050U); // untouched by the patch
    }
}

// Any count of samples, the pending buffer filled and written over and
// over, under a canonical header whose two sizes finish_wav patches.
TEST_F(wav_output_test, canonical_files_take_samples_of_any_count_and_patch_two_sizes)
{
    for (const auto& [format, count] :
         {std::pair{pcm_format{1, 37800}, std::size_t{0}}, std::pair{pcm_format{2, 18900}, std::size_t{4032}},
          std::pair{pcm_format{2, 37800}, std::size_t{3 * 16384 * 28 + 6}}}) {
        memory_sink sink;
        wav_output out{sink, 16};
        ASSERT_EQ(write_canonical_header(out, format), io_status::ok);
        std::vector<std::int16_t> samples(count);
        for (std::size_t i = 0; i < count; ++i) {
            samples[i] = static_cast<std::int16_t>(i * 7919);
        }
        for (std::size_t from = 0; from < count; from += 1000) {
            ASSERT_EQ(
                append_pcm_samples(out, std::span{samples}.subspan(from, std::min<std::size_t>(1000, count - from))),
                append_status::ok);
        }
        ASSERT_EQ(finish_wav(out), io_status::ok);
        ASSERT_EQ(sink.bytes.size(), 44 + 2 * count);
        const canonical_wav_header header = make_canonical_wav_header(format, static_cast<std::uint32_t>(2 * count));
        EXPECT_TRUE(std::equal(header.begin(), header.end(), sink.bytes.begin()));
        for (std::size_t i = 0; i < count; i += 4099) {
            EXPECT_EQ(static_cast<std::int16_t>(sink.bytes[44 + 2 * i] | sink.bytes[45 + 2 * i] << 8U), samples[i]);
        }
    }
}

TEST_F(wav_output_test, samples_are_little_endian_in_decoding_order)
{
    memory_sink sink;
    wav_output out{sink};
    ASSERT_EQ(write_wav_header(out, sample_rate::hz11025), io_status::ok);
    ASSERT_EQ(append_samples(out, counting_block(1)), append_status::ok);
    ASSERT_EQ(finish_wav(out), io_status::ok);
    const std::vector<std::uint8_t> first_samples(sink.bytes.begin() + 58, sink.bytes.begin() + 64);
    EXPECT_EQ(first_samples, (std::vector<std::uint8_t>{0x01, 0x00, 0x00, 0x00, 0xFF, 0xFF}));
    EXPECT_EQ(sink.bytes[58 + 54], 0xE6); // the last sample, -26
    EXPECT_EQ(sink.bytes[58 + 55], 0xFF);
}

TEST_F(wav_output_test, write_failures_reach_the_caller)
{
    // A full disk at each place the output is written: the header, a full
    // sample buffer, and what is still pending at the finish.
    for (const std::uint64_t capacity :
         {std::uint64_t{10}, 58 + 56 * std::uint64_t{default_pending_blocks} - 1, std::uint64_t{58 + 56 * 100 - 1}}) {
        memory_sink sink{capacity};
        wav_output out{sink};
        io_status status = write_wav_header(out, sample_rate::hz22050);
        append_status appended = append_status::ok;
        for (std::size_t i = 0;
             status == io_status::ok && appended == append_status::ok && i < default_pending_blocks + 1000; ++i) {
            appended = append_samples(out, counting_block(0));
        }
        if (status == io_status::ok && appended == append_status::ok) {
            status = finish_wav(out);
        }
        EXPECT_TRUE(status == io_status::failed || appended == append_status::write_failed) << capacity;
    }
}

TEST_F(wav_output_test, stops_before_the_riff_size_would_overflow)
{
    static_assert((wav_length_limit - wav_header_bytes) / pcm_block_bytes == 76695843);
    memory_sink sink;
    wav_output out{sink};
    ASSERT_EQ(write_wav_header(out, sample_rate::hz22050), io_status::ok);
    // Stand in for the 76695842 blocks before the last one that fits.
    out.length = wav_header_bytes + pcm_block_bytes * 76695842;
    EXPECT_EQ(append_samples(out, counting_block(0)), append_status::ok);
    EXPECT_EQ(append_samples(out, counting_block(0)), append_status::size_limit_reached);
    EXPECT_EQ(out.length, wav_header_bytes + pcm_block_bytes * 76695843);
}

} // namespace
