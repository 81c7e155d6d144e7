// discrip end to end: command lines over a folder, a disc image made of the
// same files, and a broken one, and what each writes, prints and returns.
#include "disc_images.hpp"
#include "file_writer.hpp"
#include "sound_samples.hpp"
#include "support/programs.hpp"
#include "support/test_files.hpp"

#include <gtest/gtest.h>

namespace {

using bytes = std::vector<std::uint8_t>;

struct rip_case {
    std::string name;
    std::vector<std::string> arguments;
    int status;
    std::vector<std::string> written; // under the case's own output folder
    std::string printed;              // a line of what it prints
    program_options options = {};
    std::vector<std::string> absent = {}; // files it must not leave
};

} // namespace

TEST(discrip, each_command_line_writes_what_the_page_gives_and_says_what_it_skipped)
{
    const temp_dir work;
    std::filesystem::create_directories(work.path() / "GAME" / "SOUND");
    std::vector<image_file> disc{{"SYSTEM.CNF", {'B', 'O', 'O', 'T', '\r', '\n'}, {}}};
    for (const named_bytes& sample : sound_format_samples()) {
        disc.push_back(sample.name == "VOICES.XA" ? whole_sectors_file("SOUND/" + sample.name, sample.bytes)
                                                  : image_file{"SOUND/" + sample.name, sample.bytes, {}});
        ASSERT_TRUE(write_file(work / ("GAME/SOUND/" + sample.name), sample.bytes));
    }
    ASSERT_TRUE(write_file(work / "GAME/SYSTEM.CNF", disc[0].bytes));
    const std::vector<track_sector> track = build_data_track(disc);
    const std::string cue = single_bin_cue("Game.bin", track.size(), {});
    ASSERT_TRUE(write_file(work / "Game.bin", raw_sectors(track)) &&
                write_file(work / "Game.cue", bytes(cue.begin(), cue.end())) &&
                write_file(work / "Broken.iso", bytes(40000)));

    const std::vector<std::string> sound{"SOUND/VOICES.XA.f1c01.wav",   "SOUND/VOICES.XA.f1c03-1.wav",
                                         "SOUND/VOICES.XA.f1c03-2.wav", "SOUND/JINGLE.VAG.wav",
                                         "SOUND/KIT.VH.s001.wav",       "SOUND/KIT.VH.s002.wav",
                                         "SOUND/KIT.VH.s003.wav",       "SOUND/DRUMS.VAB.wav"};
    const auto under = [&](const std::string& top) {
        std::vector<std::string> paths;
        for (const std::string& path : sound) {
            paths.push_back(top + "/" + path);
        }
        return paths;
    };
    const std::vector<rip_case> cases{
        {"no input", {}, 1, {}, "usage: discrip [-o FOLDER] [-j N] [-f] [--list] INPUT...\r\n"},
        {"no threads", {"-j", "0", "GAME"}, 1, {}, "discrip: -j takes a number of threads from 1\r\n"},
        {"an input not there", {"NOTHERE"}, 2, {}, "ERROR: Cannot open file NOTHERE\r\n"},
        {"a folder", {"GAME"}, 0, under("GAME"), "skipped GAME/SYSTEM.CNF: not ADPCM sound\r\n"},
        {"the folder again",
         {"GAME"},
         0,
         under("GAME"),
         "0 converted, 9 skipped (not ADPCM sound: 1; a WAV file there already: 8), 0 failed\r\n"},
        {"a cue sheet, listed", {"--list", "Game.cue"}, 0, {}, "Game/SOUND/KIT.VH.s002.wav\r\n"},
        {"a cue sheet on one thread",
         {"-j", "1", "Game.cue"},
         0,
         under("Game"),
         "8 converted, 1 skipped (not ADPCM sound: 1), 0 failed\r\n"},
        {"a broken image beside a good one",
         {"Broken.iso", "GAME"},
         4,
         under("GAME"),
         "failed Broken.iso: The disc image cannot be read: no ISO 9660 file system"},
        {"an output folder that cannot be made",
         {"-o", "GAME/SYSTEM.CNF/x", "GAME"},
         3,
         {},
         "ERROR: Cannot make the folder GAME/SYSTEM.CNF/x\r\n"},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const rip_case& c = cases[i];
        // Each case its own folder, but the second, which finds the first's.
        const std::string out = "out" + std::to_string(i == 4 ? 3 : i);
        std::vector<std::string> arguments{discrip_path()};
        if (c.arguments.empty() || c.arguments[0] != "-o") {
            arguments.insert(arguments.end(), {"-o", out});
        }
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const program_result result = run_program(discrip_path(), arguments, work.path(), c.options);
        EXPECT_EQ(result.exit_status, c.status) << c.name << "\n" << result.output;
        EXPECT_NE(result.output.find(c.printed), std::string::npos) << c.name << "\n" << result.output;
        for (const std::string& path : c.written) {
            EXPECT_TRUE(std::filesystem::is_regular_file(work.path() / out / path)) << c.name << ": " << path;
        }
        for (const std::string& path : c.absent) {
            EXPECT_FALSE(std::filesystem::exists(work.path() / out / path)) << c.name << ": " << path;
        }
        if (c.written.empty()) {
            EXPECT_FALSE(std::filesystem::exists(work.path() / out)) << c.name;
        }
    }
    // The same sound in the image and loose gives the same bytes.
    for (const std::string& path : sound) {
        EXPECT_EQ(read_bytes(work / ("out6/Game/" + path)), read_bytes(work / ("out3/GAME/" + path))) << path;
    }
}
