// Disc images made by the project's own tool, read back; hostile ones that
// must fail with their reason; and the rule that sorts files by content.
#include "cd_audio.hpp"
#include "disc_image.hpp"
#include "disc_images.hpp"
#include "sample_files.hpp"
#include "sort_content.hpp"
#include "support/memory_image.hpp"
#include "xa_encoder.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

namespace {

using bytes = std::vector<std::uint8_t>;

bytes random_bytes(std::size_t count, std::uint32_t seed)
{
    std::mt19937 random{seed};
    bytes made(count);
    std::generate(made.begin(), made.end(), [&random] { return static_cast<std::uint8_t>(random()); });
    return made;
}

bytes text(std::string_view written)
{
    return {written.begin(), written.end()};
}

bytes read_all(byte_source& source)
{
    bytes got;
    for (fetch_result next = source.fetch(); !next.bytes.empty(); next = source.fetch()) {
        EXPECT_EQ(next.status, fetch_status::ok);
        got.insert(got.end(), next.bytes.begin(), next.bytes.end());
    }
    return got;
}

// Each entry's path and bytes as read, audio tracks as their WAV files.
std::map<std::string, bytes> read_entries(const disc_listing& listing, memory_image& image)
{
    std::map<std::string, bytes> read;
    for (const disc_entry& entry : listing.entries) {
        std::unique_ptr<byte_source> source = open_entry(image, entry);
        bytes& got = read[entry.path];
        if (entry.kind == entry_kind::audio_track) {
            memory_sink wav;
            EXPECT_EQ(write_cd_audio(*source, entry.size, wav), copy_outcome::done);
            got = wav.bytes;
            continue;
        }
        if (source) {
            got = read_all(*source);
        }
    }
    return read;
}

// The data of a file's sectors: 2048 bytes of each Form 1 sector and 2324 of
// each Form 2 one, padded with zeros; cut to the file's size where no sector
// is Form 2.
bytes sector_data(const image_file& file)
{
    bytes data = file.bytes;
    std::size_t padded = 0;
    for (std::size_t sector = 0; padded < data.size(); ++sector) {
        padded +=
            !file.form2.empty() && file.form2[sector % file.form2.size()] ? form2_data_bytes : cooked_sector_bytes;
    }
    if (!file.form2.empty()) {
        data.resize(padded);
    }
    return data;
}

bytes cd_audio_wav(const bytes& sound)
{
    bytes padded = sound;
    padded.resize((sound.size() + raw_sector_bytes - 1) / raw_sector_bytes * raw_sector_bytes);
    const canonical_wav_header header =
        make_canonical_wav_header(cd_audio_format, static_cast<std::uint32_t>(padded.size()));
    padded.insert(padded.begin(), header.begin(), header.end());
    return padded;
}

const std::vector<image_file> form1_files{
    {"SYSTEM.CNF", text("BOOT = cdrom:\\SLUS_000.00;1\r\n"), {}},
    {"DUMMY", {}, {}},
    {"MOVIES/INTRO.STR", random_bytes(5000, 1), {}},
    {"MOVIES/SUB/DEEP.VB", random_bytes(4096, 2), {}},
};
const std::vector<image_file> form2_files{
    {"SOUND/MUSIC.XA", random_bytes(10000, 3), {true}},
    {"SOUND/MIXED.STR", random_bytes(9000, 4), {false, true}},
};
const std::vector<bytes> sounds{random_bytes(5000, 5), random_bytes(3 * raw_sector_bytes, 6)};

struct image_case {
    std::string name;
    bool with_form2;
    bool with_audio;
    std::function<disc_listing(memory_image&)> list;
    std::function<std::vector<bytes>(const std::vector<track_sector>&)> files;
};

} // namespace

TEST(disc_images, every_layout_lists_its_files_and_tracks_and_reads_them_exactly)
{
    const auto cue = [](const std::string& written) {
        return [written](memory_image& image) { return list_cue_image(parse_cue(text(written)).sheet, image); };
    };
    std::vector<bytes> audio;
    std::vector<std::uint64_t> audio_sizes;
    for (const bytes& sound : sounds) {
        audio.push_back(audio_sectors(sound, audio_pregap_sectors));
        audio_sizes.push_back(audio.back().size());
    }
    const std::vector<image_case> cases{
        {".iso", false, false, [](memory_image& image) { return list_image(image_kind::iso, image); },
         [](const auto& track) { return std::vector<bytes>{cooked_sectors(track)}; }},
        {".bin alone", true, false, [](memory_image& image) { return list_image(image_kind::raw_bin, image); },
         [](const auto& track) { return std::vector<bytes>{raw_sectors(track)}; }},
        {"one .bin and its .cue", true, true,
         [&](memory_image& image) {
             return cue(single_bin_cue("GAME.BIN",
                                       image.size(0) / raw_sector_bytes - audio_sizes[0] / raw_sector_bytes -
                                           audio_sizes[1] / raw_sector_bytes,
                                       audio_sizes))(image);
         },
         [&](const auto& track) {
             bytes single = raw_sectors(track);
             for (const bytes& one : audio) {
                 single.insert(single.end(), one.begin(), one.end());
             }
             return std::vector<bytes>{single};
         }},
        {"a .bin per track", true, true, cue(per_track_cue("Game", 2)),
         [&](const auto& track) {
             return std::vector<bytes>{raw_sectors(track), audio[0], audio[1]};
         }},
    };
    for (const image_case& c : cases) {
        std::vector<image_file> files = form1_files;
        if (c.with_form2) {
            files.insert(files.end(), form2_files.begin(), form2_files.end());
        }
        memory_image image{c.files(build_data_track(files)), 1000};
        const disc_listing listing = c.list(image);
        ASSERT_EQ(listing.error, "") << c.name;
        std::map<std::string, bytes> expected;
        for (const image_file& file : files) {
            expected[file.path] = sector_data(file);
        }
        for (std::size_t i = 0; c.with_audio && i < sounds.size(); ++i) {
            expected["Track 0" + std::to_string(i + 2)] = cd_audio_wav(sounds[i]);
        }
        EXPECT_EQ(read_entries(listing, image), expected) << c.name;
        // Form 2 files are marked, and their whole sectors keep their
        // subheaders where the image does.
        for (const disc_entry& entry : listing.entries) {
            const auto file =
                std::find_if(files.begin(), files.end(), [&](const auto& f) { return f.path == entry.path; });
            if (file == files.end()) {
                continue;
            }
            EXPECT_EQ(entry.form2, !file->form2.empty()) << c.name << entry.path;
            const std::unique_ptr<byte_source> whole = open_entry_sectors(image, entry.where);
            ASSERT_EQ(whole != nullptr, entry.where.layout == sector_layout::raw) << c.name;
            const bytes sectors = whole ? read_all(*whole) : bytes{};
            for (std::size_t at = 0; at < sectors.size(); at += raw_sector_bytes) {
                const bool form2 = (sectors[at + 18] & 0x20U) != 0;
                EXPECT_EQ(form2, !file->form2.empty() && file->form2[at / raw_sector_bytes % file->form2.size()]);
            }
            EXPECT_EQ(sectors.size(), whole ? entry.where.sectors * raw_sector_bytes : 0) << entry.path;
        }
    }

    // Listing reads the descriptors and the directories alone: less than
    // 1 MiB for a disc of 1,000 files of 4 KiB in 20 folders.
    std::vector<image_file> thousand;
    for (std::size_t i = 0; i < 1000; ++i) {
        thousand.push_back({"FOLDER" + std::to_string(i % 20) + "/FILE" + std::to_string(i) + ".VB", bytes(4096), {}});
    }
    memory_image disc{{raw_sectors(build_data_track(thousand))}};
    EXPECT_EQ(list_image(image_kind::raw_bin, disc).entries.size(), 1000U);
    EXPECT_LT(disc.bytes_opened, 1U << 20U);
}

TEST(disc_images, what_is_not_read_is_named_and_cd_audio_has_the_canonical_header)
{
    const cue_reading sheet =
        parse_cue(text("REM a disc\r\nFILE \"C:\\rips\\..\\x.bin\" BINARY\r\n  TRACK 01 MODE2/2336\r\n"
                       "    INDEX 01 00:00:00\r\nFILE \"b.wav\" WAVE\r\n  TRACK 02 AUDIO\r\n"
                       "    PREGAP 00:02:00\r\n    INDEX 01 00:00:00\r\n"));
    ASSERT_EQ(sheet.error, "");
    EXPECT_EQ(sheet.sheet.files[0].name, "x.bin");
    memory_image image{{bytes(raw_sector_bytes), bytes(16)}};
    const disc_listing listing = list_cue_image(sheet.sheet, image);
    ASSERT_EQ(listing.entries.size(), 2U);
    EXPECT_EQ(listing.entries[0].reason, "a track of mode MODE2/2336, which is not read");
    EXPECT_EQ(listing.entries[1].reason, "a track in a WAVE file, which is not read");

    const canonical_wav_header header = make_canonical_wav_header(cd_audio_format, 2352);
    const bytes expected{'R',  'I', 'F', 'F', 0x54, 0x09, 0,   0,   'W', 'A',  'V',  'E',  'f', 'm',  't',
                         ' ',  16,  0,   0,   0,    1,    0,   2,   0,   0x44, 0xAC, 0,    0,   0x10, 0xB1,
                         0x02, 0,   4,   0,   16,   0,    'd', 'a', 't', 'a',  0x30, 0x09, 0,   0};
    EXPECT_EQ(bytes(header.begin(), header.end()), expected);
}

namespace {

// The offset of the directory record that names `name`, past the path
// tables.
std::size_t record_of(const bytes& iso, std::string_view name)
{
    const std::size_t root = std::size_t{iso[16 * 2048 + 158]} * 2048;
    const auto found =
        std::search(iso.begin() + static_cast<std::ptrdiff_t>(root), iso.end(), name.begin(), name.end());
    return static_cast<std::size_t>(found - iso.begin()) - 33;
}

void put_le32(bytes& image, std::size_t at, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i) {
        image[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

} // namespace

TEST(disc_images, hostile_images_fail_quickly_with_their_reason)
{
    const bytes iso = cooked_sectors(build_data_track(form1_files));
    const std::size_t movies = record_of(iso, "MOVIES");
    const std::size_t deep_dir = record_of(iso, "SUB");
    const std::size_t cnf = record_of(iso, "SYSTEM.CNF;1");
    std::vector<image_file> crowded;
    for (std::size_t i = 0; i <= max_disc_entries; ++i) {
        crowded.push_back({"F" + std::to_string(i), {}, {}});
    }
    std::string deep;
    for (std::size_t i = 0; i <= max_disc_depth; ++i) {
        deep += "D/";
    }
    const std::vector<std::pair<std::function<void(bytes&)>, std::string>> cases{
        {[](bytes& image) { image[16 * 2048 + 1] = 'X'; }, "no ISO 9660 file system"},
        {[&](bytes& image) { put_le32(image, deep_dir + 2, iso[movies + 2]); }, "listed twice"},
        {[&](bytes& image) { put_le32(image, deep_dir + 2, 20); }, "listed twice"},
        {[&](bytes& image) { put_le32(image, cnf + 2, 1000000); }, "SYSTEM.CNF lies past the image's end"},
        {[&](bytes& image) { put_le32(image, cnf + 10, 0x7FFFFFFF); }, "lies past the image's end"},
        {[&](bytes& image) { image[cnf] = 33; }, "runs over its sector"},
        {[&](bytes& image) { image[cnf + 32] = 60; }, "runs over its sector"},
        {[&](bytes& image) { image[cnf + 33 + 6] = '/'; }, "a name no file may have (\"SYSTEM/CNF;1\")"},
        {[&](bytes& image) { image[cnf + 33 + 6] = '\\'; }, "a name no file may have"},
        {[&](bytes& image) { image[cnf + 33 + 6] = 1; }, "a name no file may have (\"SYSTEM?CNF;1\")"},
        {[&](bytes& image) {
             image[cnf + 32] = 4;
             std::copy_n("..;1", 4, image.begin() + static_cast<std::ptrdiff_t>(cnf + 33));
         },
         "a name no file may have (\"..;1\")"},
        {[&](bytes& image) { image = cooked_sectors(build_data_track(crowded)); },
         "more than 65,536 files and directories"},
        {[&](bytes& image) {
             image = cooked_sectors(build_data_track({{deep + "F", {}, {}}}));
         },
         "nested more than 64 deep"},
    };
    for (const auto& [spoil, reason] : cases) {
        bytes image = iso;
        spoil(image);
        memory_image files{{image}};
        const disc_listing listing = list_image(image_kind::iso, files);
        EXPECT_NE(listing.error.find(reason), std::string::npos) << reason << ": " << listing.error;
        EXPECT_TRUE(listing.entries.empty());
    }
    for (const auto& [sheet, reason] : std::vector<std::pair<std::string, std::string>>{
             {std::string(70000, 'A'), "too large for a cue sheet (more than 64 KiB)"},
             {"FILE \"" + std::string(2000, 'a') + "\" BINARY\n", "a line of more than 1,024 bytes (line 1)"},
             {"TRACK 01 AUDIO\n", "a TRACK before any FILE (line 1)"},
             {"FILE a BINARY\nTRACK 01 AUDIO\nINDEX 01 1:60:00\n",
              "an INDEX without its number and mm:ss:ff time (line 3)"},
             {"FILE a BINARY\nTRACK 01 AUDIO\n", "track 1 has no INDEX 01"}}) {
        EXPECT_EQ(parse_cue(text(sheet)).error, reason);
    }
}

// A sheet read from a file (in pieces, and never past its limit), and its
// FILE names matched to the files chosen with it.
TEST(disc_images, a_cue_sheet_is_read_once_and_finds_its_files_without_regard_to_case)
{
    const std::string two_files = "FILE \"Game (Track 1).bin\" BINARY\nTRACK 01 MODE2/2352\nINDEX 01 00:00:00\n"
                                  "FILE \"c:\\rips\\GAME (TRACK 2).BIN\" BINARY\nTRACK 02 AUDIO\nINDEX 01 00:00:00\n";
    struct match_case {
        std::vector<std::string> candidates;
        std::vector<std::size_t> found;
        std::string error;
    };
    for (const match_case& c : {
             match_case{{"game (track 2).bin", "notes.txt", "GAME (TRACK 1).BIN"}, {2, 0}, ""},
             match_case{{"Game (Track 1).bin", "Game (Track 2).bin"}, {0, 1}, ""},
             match_case{{"Game (Track 1).bin"}, {}, "GAME (TRACK 2).BIN"},
             match_case{{}, {}, "Game (Track 1).bin"},
         }) {
        const bytes sheet = text(two_files);
        memory_source source{sheet, 7};
        const cue_reading read = read_cue_sheet(source, sheet.size());
        ASSERT_EQ(read.error, "");
        const cue_files_found found = find_cue_files(read.sheet, c.candidates);
        EXPECT_EQ(found.files, c.found);
        EXPECT_EQ(found.error, c.error);
    }
    const bytes huge(max_cue_sheet_bytes + 1, 'A');
    memory_source source{huge, 1000};
    EXPECT_EQ(read_cue_sheet(source, huge.size()).error, "too large for a cue sheet (more than 64 KiB)");
}

TEST(sort_content, each_file_goes_to_its_program_or_is_skipped_with_the_reason)
{
    const bytes blocks = raw_block_stream(random_blocks(2000, 9));
    bytes vag(48, 0x41);
    std::copy_n("VAGp", 4, vag.begin());
    vag.insert(vag.end(), blocks.begin(), blocks.begin() + 1600);
    const auto container = [&](std::string_view tag, std::size_t cut, std::size_t zeros) {
        bytes file;
        append_chunk(file, "Vi10", bytes(100, 0x55));
        append_chunk(file, tag, std::span{blocks}.first(320));
        file.resize(file.size() - cut);
        file.resize(file.size() + zeros);
        return file;
    };
    // Every tenth or every sixth block broken: 90% plausible is enough.
    const auto broken_every = [&](std::size_t every) {
        bytes file = blocks;
        for (std::size_t at = 0; at < file.size(); at += every * adpcm_block_bytes) {
            file[at] = 0xF0;
        }
        return file;
    };
    // Zeros before the sound do not count: the thousand blocks judged are
    // the first that are not all zero.
    bytes zeros_first(64 * 1024);
    zeros_first.insert(zeros_first.end(), blocks.begin(), blocks.end());
    // Raw sectors of video, and XA sound in the one at `audio_at`.
    const auto movie = [](std::size_t sectors, std::size_t audio_at) {
        const std::vector<xa_sound> sound = encode_xa(std::vector<std::int16_t>(4032, 900), {false, false});
        bytes file;
        for (std::size_t n = 0; n < sectors; ++n) {
            const bool audio = n == audio_at;
            const xa_subheader subheader{1, 1, audio ? xa_audio_submode : std::uint8_t{0x08},
                                         audio ? xa_coding_byte({false, false}, false) : std::uint8_t{0}};
            const auto sector = xa_raw_sector(static_cast<std::uint32_t>(n), subheader, sound[0]);
            file.insert(file.end(), sector.begin(), sector.end());
        }
        return file;
    };
    const bytes headless = [&] {
        const bytes raw = movie(3, 2);
        bytes file;
        for (std::size_t at = 0; at < raw.size(); at += 2352) {
            file.insert(file.end(), raw.begin() + static_cast<std::ptrdiff_t>(at + 16),
                        raw.begin() + static_cast<std::ptrdiff_t>(at + 2352));
        }
        return file;
    }();
    bytes bank = text("pBAV");
    bank.resize(3000);
    const std::vector<std::tuple<std::string, bytes, content_verdict, std::string_view>> cases{
        {"empty", {}, content_verdict::skipped, "an empty file"},
        {"zeros", bytes(5000), content_verdict::skipped, "only zero bytes"},
        {"text", text("BOOT = cdrom:\\SLUS_000.00;1\r\nTCB = 4\r\nEVENT = 10\r\n"), content_verdict::skipped,
         "not ADPCM sound"},
        {"noise", random_bytes(100000, 11), content_verdict::skipped, "not ADPCM sound"},
        {"short", text("abc"), content_verdict::skipped, "not ADPCM sound"},
        {"video", container("Ad10", 0, 0), content_verdict::cinerip, ""},
        {"video and a sector's padding", container("Ad10", 0, 2000), content_verdict::cinerip, ""},
        {"video cut short", container("Ad10", 100, 0), content_verdict::cinerip, ""},
        {"video and stray bytes",
         [&] {
             bytes file = container("Ad10", 0, 0);
             file.insert(file.end(), {7, 7, 7});
             return file;
         }(),
         content_verdict::cinerip, ""},
        {"chunks without audio", container("AD10", 0, 0), content_verdict::skipped, "a chunk file with no audio chunk"},
        {"chunks without audio, cut short", container("AD10", 100, 0), content_verdict::skipped, "not ADPCM sound"},
        {"blocks", blocks, content_verdict::blockrip, ""},
        {"a VAG file", vag, content_verdict::vag, ""},
        {"a sound bank", bank, content_verdict::bank, ""},
        {"XA sound", movie(1, 0), content_verdict::xa, ""},
        {"XA sound among video", movie(70, 63), content_verdict::xa, ""},
        {"XA sound past the sectors sorted", movie(70, 64), content_verdict::skipped, "not ADPCM sound"},
        {"XA sound in 2336-byte sectors", headless, content_verdict::xa, ""},
        {"one block in ten broken", broken_every(10), content_verdict::blockrip, ""},
        {"one block in six broken", broken_every(6), content_verdict::skipped, "not ADPCM sound"},
        {"zeros, then sound", zeros_first, content_verdict::blockrip, ""},
    };
    for (const auto& [name, file, verdict, reason] : cases) {
        for (const std::size_t fetch_bytes : {std::size_t{7}, memory_source::never}) {
            memory_files files;
            files.inputs["in"] = file;
            files.fetch_bytes = fetch_bytes;
            const sorted_content sorted = sort_content(files, "in", file.size());
            EXPECT_EQ(sorted.verdict, verdict) << name;
            EXPECT_EQ(sorted.reason, reason) << name;
        }
    }
}
