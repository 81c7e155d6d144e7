// Inputs and outputs past the 32-bit sizes, made sparse where the file
// system allows. They need about 5 GB of disk, so they run only where
// RIPPERS_LARGE_TESTS is set, as `cmake --workflow --preset large` sets it;
// elsewhere each reports itself skipped, with that command.
#include "disc_images.hpp"
#include "sample_files.hpp"
#include "support/programs.hpp"
#include "support/reference_decoding.hpp"
#include "support/test_files.hpp"
#include "wav_output.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

namespace {

constexpr std::uint64_t gib = std::uint64_t{1} << 30U;

class large_files : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (std::getenv("RIPPERS_LARGE_TESTS") == nullptr) {
            GTEST_SKIP() << "left out of this run (it writes about 5 GB): cmake --workflow --preset large runs it";
        }
    }
};

void write_at(std::fstream& file, std::uint64_t offset, std::span<const std::uint8_t> bytes)
{
    file.seekp(static_cast<std::streamoff>(offset));
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(file.good());
}

TEST_F(large_files, container_over_4_gib_keeps_its_positions)
{
    temp_dir dir;
    const std::vector<adpcm_block> first = random_blocks(100, 7);
    const std::vector<adpcm_block> last = random_blocks(50, 11);
    std::fstream file{dir / "big.str", std::ios::binary | std::ios::out | std::ios::trunc};
    std::vector<std::uint8_t> start;
    append_chunk(start, "Ad10", raw_block_stream(first));
    write_at(file, 0, start);
    // Three other chunks of almost 2 GiB each, left as holes.
    std::uint64_t offset = start.size();
    for (int i = 0; i < 3; ++i) {
        std::vector<std::uint8_t> header;
        append_chunk_header(header, "Vi10", 0x7FFFFFF8);
        write_at(file, offset, header);
        offset += 0x7FFFFFF8;
    }
    std::vector<std::uint8_t> end;
    append_chunk(end, "Ad10", raw_block_stream(last));
    write_at(file, offset, end);
    file.close();
    ASSERT_GT(std::filesystem::file_size(dir / "big.str"), 4 * gib + gib);

    const program_result result = run_program(cinerip_path(), {"cinerip", "big.str"}, dir.path());
    EXPECT_EQ(result.exit_status, 0) << result.output;
    std::vector<adpcm_block> both = first;
    both.insert(both.end(), last.begin(), last.end());
    EXPECT_EQ(parse_wav(read_bytes(dir / "big.str.wav")).samples, decode_all(both).samples);
}

TEST_F(large_files, raw_stream_past_the_wav_limit_stops_with_a_true_header)
{
    temp_dir dir;
    constexpr std::uint64_t max_blocks = 76695843;
    {
        // Silent blocks (all zero), as a hole.
        std::ofstream file{dir / "long.vb", std::ios::binary};
        file.close();
        std::filesystem::resize_file(dir / "long.vb", (max_blocks + 1) * adpcm_block_bytes);
    }
    const program_result result = run_program(blockrip_path(), {"blockrip", "long.vb"}, dir.path());
    EXPECT_EQ(result.output,
              "blockrip converter v0.2 - Orlandel\r\nDecompressing...\r\nERROR: WAV file size limit reached\r\n");
    EXPECT_EQ(result.exit_status, 4);

    const std::filesystem::path wav = dir / "long.vb.wav";
    const std::uint64_t length = wav_header_bytes + pcm_block_bytes * max_blocks;
    ASSERT_EQ(std::filesystem::file_size(wav), length);
    std::ifstream in{wav, std::ios::binary};
    std::vector<std::uint8_t> header(wav_header_bytes);
    in.read(reinterpret_cast<char*>(header.data()), static_cast<std::streamsize>(header.size()));
    const wav_contents fields = parse_wav(header);
    EXPECT_EQ(fields.riff_size, length - 8);
    EXPECT_EQ(fields.riff_size, 4294967258U);
    EXPECT_EQ(fields.data_size, length - wav_header_bytes);
    EXPECT_EQ(fields.sample_count, max_blocks * samples_per_block);
}

// A disc image whose one file lies past 4 GiB: its directory record points
// there, over a hole.
TEST_F(large_files, disc_image_file_past_4_gib_converts)
{
    temp_dir dir;
    const std::vector<adpcm_block> blocks = random_blocks(200, 5);
    const std::vector<std::uint8_t> stream = raw_block_stream(blocks);
    std::vector<std::uint8_t> iso = cooked_sectors(build_data_track({{"FAR.VB", stream, {}}}));
    const std::string name = "FAR.VB;1";
    const auto found = std::search(iso.begin(), iso.end(), name.begin(), name.end());
    ASSERT_NE(found, iso.end());
    // The record's extent, stored both ways, 33 bytes before its name.
    const auto record = static_cast<std::size_t>(found - iso.begin()) - 33;
    constexpr std::uint32_t far_sector = 2500000; // 4.8 GiB in
    for (std::size_t i = 0; i < 4; ++i) {
        iso[record + 2 + i] = static_cast<std::uint8_t>(far_sector >> (8 * i));
        iso[record + 9 - i] = static_cast<std::uint8_t>(far_sector >> (8 * i));
    }
    {
        std::fstream file{dir / "Disc.iso", std::ios::binary | std::ios::out | std::ios::trunc};
        write_at(file, 0, iso);
        write_at(file, std::uint64_t{far_sector} * 2048, stream);
    }
    std::filesystem::resize_file(dir / "Disc.iso", (std::uint64_t{far_sector} + 2) * 2048);

    const program_result result = run_program(discrip_path(), {"discrip", "Disc.iso"}, dir.path());
    EXPECT_EQ(result.exit_status, 0) << result.output;
    EXPECT_EQ(parse_wav(read_bytes(dir / "Disc/FAR.VB.wav")).samples, decode_all(blocks).samples);
}

} // namespace
