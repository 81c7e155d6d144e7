// Makes the fuzz targets' seed corpus: well-formed inputs and the malformed
// shapes worth starting from. Each seed starts with the two bytes that shape
// the source (fetch size, failure point); see fuzz_checks.hpp.
#include "adpcm_encoder.hpp"
#include "bank_files.hpp"
#include "disc_images.hpp"
#include "file_writer.hpp"
#include "sample_files.hpp"
#include "xa_encoder.hpp"
#include "xa_sectors.hpp"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <tuple>
#include <utility>

namespace {

using bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t whole = 0;
constexpr std::uint8_t never = 0xF0; // and 1 block per write
constexpr std::uint8_t never_big_writes = 0xFF;

// Reading fails after `sixteenths` of the file; 3 blocks per write.
constexpr std::uint8_t fail_after(unsigned sixteenths)
{
    return static_cast<std::uint8_t>(sixteenths << 4U | 2U);
}

bytes seed(std::uint8_t fetch_bytes, std::uint8_t fail_at, const bytes& file)
{
    bytes data{fetch_bytes, fail_at};
    data.insert(data.end(), file.begin(), file.end());
    return data;
}

bytes concat(bytes a, const bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: make_fuzz_corpus <corpus directory>\n", stderr);
        return 1;
    }
    const std::filesystem::path corpus = argv[1];
    const std::vector<std::int16_t> chord = make_chord(11025);
    const std::vector<adpcm_block> blocks =
        encode_signal(std::span{chord}.subspan(chord.size() / 4, 28 * 12)); // the loud part
    bytes raw = raw_block_stream(blocks);
    bytes odd_filters = raw;
    odd_filters[0] = 0x5C;
    odd_filters[16 * 5] = 0xF3;

    bytes headers_alone;
    append_chunk_header(headers_alone, "Ad10", 8);
    append_chunk_header(headers_alone, "Vi10", 0);
    append_chunk_header(headers_alone, "Vi10", 5);
    append_chunk_header(headers_alone, "Vi10", 0x80000008);
    append_chunk_header(headers_alone, "Vi10", 0xFFFFFFFF);
    bytes uneven;
    append_chunk_header(uneven, "Ad10", 8 + 20);
    uneven = concat(uneven, raw);
    bytes huge;
    append_chunk_header(huge, "Ad10", 0x7FFFFFF8);
    huge = concat(huge, bytes(raw.begin(), raw.begin() + 40));
    const bytes container = build_container(blocks, {{3, 1, 5}, {0, 24, 7}});
    bytes cut_size = container;
    append_chunk_header(cut_size, "Ad10", 24);
    cut_size.resize(cut_size.size() - 6);
    bytes wrong_case;
    append_chunk_header(wrong_case, "AD10", 8 + 16);
    wrong_case = concat(wrong_case, bytes(raw.begin(), raw.begin() + 16));

    const std::vector<std::pair<std::string, bytes>> scan_seeds{
        {"container", seed(whole, never_big_writes, container)},
        {"container_small_fetches", seed(7, never, container)},
        {"container_read_fails", seed(16, fail_after(8), container)},
        {"odd_filters",
         seed(whole, never, build_container(std::vector<adpcm_block>(blocks.begin(), blocks.begin() + 6), {{6}, {4}}))},
        {"headers_alone", seed(whole, never, concat(headers_alone, container))},
        {"uneven_payload", seed(3, never, uneven)},
        {"huge_declared_size", seed(whole, never, huge)},
        {"cut_size_field", seed(whole, never, cut_size)},
        {"stray_bytes", seed(whole, never, concat(container, {0x41, 0x64}))},
        {"wrong_case", seed(whole, never, wrong_case)},
        {"empty", seed(whole, never, {})},
    };
    const std::vector<std::pair<std::string, bytes>> stream_seeds{
        {"blocks", seed(whole, never_big_writes, raw)},
        {"blocks_small_fetches", seed(5, never, raw)},
        {"blocks_read_fails", seed(16, fail_after(10), raw)},
        {"odd_filters", seed(whole, never, odd_filters)},
        {"short_tail", seed(whole, never, bytes(raw.begin(), raw.begin() + 33))},
        {"under_one_block", seed(whole, never, bytes(raw.begin(), raw.begin() + 15))},
        {"empty", seed(whole, never, {})},
    };
    // Whole runs: program and argument count, output cap, arguments as
    // letters of fuzz_run_conversion's alphabet, then the input as above.
    const bytes in{2, 0, 1};           // "in"
    const bytes switch_11{3, 2, 3, 3}; // "-11"
    const bytes switch_22{3, 2, 4, 4}; // "-22"
    const bytes option{2, 2, 5};       // "-x"
    const bytes missing{1, 8};         // "a"
    auto run = [&](unsigned program, const std::vector<bytes>& arguments, std::uint8_t cap, const bytes& input) {
        bytes data{static_cast<std::uint8_t>(program | arguments.size() << 1U), cap};
        for (const bytes& argument : arguments) {
            data.insert(data.end(), argument.begin(), argument.end());
        }
        return concat(data, input);
    };
    const unsigned cinerip = 0;
    const unsigned blockrip = 1;
    const std::vector<std::pair<std::string, bytes>> run_seeds{
        {"cinerip_usage", run(cinerip, {}, 255, seed(whole, never, {}))},
        {"cinerip_converts", run(cinerip, {in}, 255, seed(whole, never_big_writes, container))},
        {"cinerip_switch_twice", run(cinerip, {switch_11, in, switch_11}, 255, seed(whole, never, container))},
        {"blockrip_switch_and_option", run(blockrip, {option, switch_22, in}, 255, seed(7, never, raw))},
        {"blockrip_only_switches", run(blockrip, {switch_22, option}, 255, seed(whole, never, raw))},
        {"missing_input", run(cinerip, {missing}, 255, seed(whole, never, container))},
        {"output_not_created", run(blockrip, {in}, 0, seed(whole, never, raw))},
        {"output_fills_up", run(blockrip, {in}, 5, seed(whole, never, raw))},
        {"input_read_fails", run(cinerip, {in}, 255, seed(16, fail_after(8), container))},
    };
    bytes vag(48, 0x41);
    std::copy_n("VAGp", 4, vag.begin());
    std::vector<std::pair<std::string, bytes>> sort_seeds{
        {"container", seed(whole, never, container)},
        {"container_read_fails", seed(7, fail_after(8), container)},
        {"raw", seed(whole, never, raw)},
        {"vag", seed(16, never, concat(vag, raw))},
        {"zeros", seed(whole, never, bytes(4096))},
        {"text", seed(whole, never, bytes{'B', 'O', 'O', 'T', ' ', '=', ' ', 'c', 'd', 'r', 'o', 'm', ':'})},
    };
    // Disc images: the kind, the read size, then the image from sector 16.
    const std::vector<track_sector> track = build_data_track({
        {"SYSTEM.CNF", {'B', 'O', 'O', 'T'}, {}},
        {"MOVIES/INTRO.STR", container, {}},
        {"SOUND/MUSIC.XA", raw, {true, false}},
    });
    const auto from_sector_16 = [](const bytes& image, std::size_t sector) {
        return bytes(image.begin() + static_cast<std::ptrdiff_t>(16 * sector), image.end());
    };
    const bytes cue_text = [] {
        const std::string text = single_bin_cue("GAME.BIN", 40, {2352 * 3});
        return bytes(text.begin(), text.end());
    }();
    const std::vector<std::pair<std::string, bytes>> disc_seeds{
        {"iso", concat({0, 0}, from_sector_16(cooked_sectors(track), 2048))},
        {"bin_alone", concat({1, 200}, from_sector_16(raw_sectors(track), 2352))},
        {"cue", concat(concat({2, 0}, concat(cue_text, {0})), from_sector_16(raw_sectors(track), 2352))},
    };
    // Four XA sectors: two channels, the first ending its file, a video
    // sector between; as raw sectors, behind a CDXA header, and in 2336
    // bytes a sector.
    const bytes xa_raw = [] {
        std::vector<std::int16_t> tone(2 * 4032);
        for (std::size_t i = 0; i < tone.size(); ++i) {
            tone[i] = static_cast<std::int16_t>((i * 37) % 20000);
        }
        const std::vector<xa_sound> sound = encode_xa(tone, {false, false});
        const std::uint8_t coding = xa_coding_byte({false, false}, false);
        bytes sectors;
        for (const auto& [lba, subheader, which] :
             {std::tuple{0U, xa_subheader{1, 0, xa_audio_submode, coding}, 0U},
              std::tuple{1U, xa_subheader{1, 1, xa_audio_submode, coding}, 1U},
              std::tuple{2U, xa_subheader{1, 0, 0x08, 0}, 1U},
              std::tuple{3U, xa_subheader{1, 0, xa_audio_submode | xa_end_of_file, coding}, 1U}}) {
            const auto sector = xa_raw_sector(lba, subheader, sound[which]);
            sectors.insert(sectors.end(), sector.begin(), sector.end());
        }
        return sectors;
    }();
    const bytes xa_2336 = [&xa_raw] {
        bytes headless;
        for (std::size_t at = 0; at < xa_raw.size(); at += 2352) {
            headless.insert(headless.end(), xa_raw.begin() + static_cast<std::ptrdiff_t>(at + 16),
                            xa_raw.begin() + static_cast<std::ptrdiff_t>(at + 2352));
        }
        return headless;
    }();
    bytes cdxa{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'C', 'D', 'X', 'A'};
    cdxa.resize(cdxa_header_bytes);
    const std::vector<std::pair<std::string, bytes>> xa_seeds{
        {"raw", concat({0, 0}, xa_raw)},
        {"cdxa", concat({1, 100}, concat(cdxa, xa_raw))},
        {"sectors_2336", concat({2, 0}, xa_2336)},
        {"recognised", concat({3, 0}, xa_raw)},
    };
    sort_seeds.emplace_back("xa_sectors", seed(whole, never, xa_raw));
    // A VAG file whose sample loops and is padded after its end, and one
    // whose size runs past the file; a bank of two programs and 3 samples.
    const auto vag_with = [&blocks](std::uint32_t data_bytes, std::size_t count) {
        std::vector<adpcm_block> sample(blocks.begin(), blocks.begin() + static_cast<std::ptrdiff_t>(count));
        for (std::size_t i = 0; i < sample.size(); ++i) {
            sample[i].bytes[1] = i == 1 ? 0x04 : i == count - 2 ? 0x03 : 0;
        }
        return concat(make_vag_header(0x20, data_bytes, 44100, "SEED"), raw_block_stream(sample));
    };
    const std::vector<std::pair<std::string, bytes>> vag_seeds{
        {"loop_and_padding", concat({16}, vag_with(8 * 16, 8))},
        {"size_past_the_file", concat({0}, vag_with(4000, 5))},
    };
    const std::vector<std::pair<std::string, bytes>> bank_seeds{
        {"two_programs",
         concat({0, 0, 0, 0}, make_bank_header(2, 1, {{0, 0, 60, 0, 1}, {1, 1, 48, 32, 2}}, {0, 0, 0, 0}, 0))},
        {"with_a_body", concat({0x60, 0, 0, 0}, make_bank_header(1, 1, {{0, 0, 60, 0, 1}}, {0, 64, 32}, 96))},
    };
    for (const auto& [target, seeds] :
         {std::pair{"fuzz_scan_chunks", &scan_seeds}, std::pair{"fuzz_read_block_stream", &stream_seeds},
          std::pair{"fuzz_run_conversion", &run_seeds}, std::pair{"fuzz_sort_content", &std::as_const(sort_seeds)},
          std::pair{"fuzz_disc_image", &disc_seeds}, std::pair{"fuzz_xa_clips", &xa_seeds},
          std::pair{"fuzz_vag_file", &vag_seeds}, std::pair{"fuzz_sound_bank", &bank_seeds}}) {
        std::filesystem::create_directories(corpus / target);
        for (const auto& [name, data] : *seeds) {
            if (!write_file((corpus / target / (name + ".bin")).string(), data)) {
                std::fprintf(stderr, "make_fuzz_corpus: cannot write %s\n", name.c_str());
                return 1;
            }
        }
    }
    return 0;
}
