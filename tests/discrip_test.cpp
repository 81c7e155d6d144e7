// discrip end to end: command lines over a folder, a disc image made of the
// same files, and a broken one, and what each writes, prints and returns.
#include "disc_images.hpp"
#include "file_writer.hpp"
#include "sample_files.hpp"
#include "sound_samples.hpp"
#include "support/programs.hpp"
#include "support/reference_decoding.hpp"
#include "support/test_files.hpp"

#include <gtest/gtest.h>

#include <csignal>

namespace {

using bytes = std::vector<std::uint8_t>;

struct rip_case {
    std::string name;
    std::vector<std::string> arguments; // "{out}" at the start of one stands for the case's folder
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
#ifndef _WIN32
    // A link to nothing in the folder is passed over, as the page never sees it.
    ASSERT_TRUE(make_symlink(work / "GAME/NOWHERE", work / "GAME/SOUND/GONE.VAG"));
#endif
    // A bank in a folder of a name beyond ASCII, its paths past 260 characters.
    std::string deep = "Música ♪/";
    for (const char level : {'a', 'b', 'c'}) {
        deep += std::string(100, level) + "/";
    }
    std::filesystem::create_directories(work.path() / utf8_path(deep));
    for (const named_bytes& sample : sound_format_samples()) {
        if (sample.name.starts_with("KIT.")) {
            ASSERT_TRUE(write_file(work / (deep + sample.name), sample.bytes));
        }
    }
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
    std::vector<rip_case> cases{
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
        // Wine lists a folder past 260 characters as the current one, so
        // the bank's files are given by name rather than found.
        {"a bank deep in a folder of a name beyond ASCII, into another",
         {"-o", "{out}/" + deep, deep + "KIT.VH", deep + "KIT.VB"},
         0,
         {deep + "KIT.VH.s001.wav", deep + "KIT.VH.s002.wav", deep + "KIT.VH.s003.wav"},
         "3 converted, 0 skipped, 0 failed\r\n"},
        {"an output folder that cannot be made",
         {"-o", "GAME/SYSTEM.CNF/x", "GAME"},
         3,
         {},
         "ERROR: Cannot make the folder GAME/SYSTEM.CNF/x\r\n"},
    };
#ifndef _WIN32
    cases.push_back({"a disk that takes no file past 100000 bytes",
                     {"GAME"},
                     4,
                     {"GAME/SOUND/VOICES.XA.f1c03-1.wav", "GAME/SOUND/KIT.VH.s001.wav", "GAME/SOUND/DRUMS.VAB.wav"},
                     "6 converted, 1 skipped (not ADPCM sound: 1), 2 failed\r\n",
                     {.file_size = 100000},
                     {"GAME/SOUND/JINGLE.VAG.wav", "GAME/SOUND/VOICES.XA.f1c01.wav"}});
    cases.push_back({"a closed standard output", {"GAME"}, 0, under("GAME"), "", {.output_closed = true}});
#endif
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const rip_case& c = cases[i];
        // Each case its own folder, but the second, which finds the first's.
        const std::string out = "out" + std::to_string(i == 4 ? 3 : i);
        std::vector<std::string> arguments{discrip_path()};
        if (c.arguments.empty() || c.arguments[0] != "-o") {
            arguments.insert(arguments.end(), {"-o", out});
        }
        for (const std::string& argument : c.arguments) {
            arguments.push_back(argument.starts_with("{out}") ? out + argument.substr(5) : argument);
        }
        const program_result result = run_program(discrip_path(), arguments, work.path(), c.options);
        EXPECT_EQ(result.exit_status, c.status) << c.name << "\n" << result.output;
        EXPECT_NE(result.output.find(c.printed), std::string::npos) << c.name << "\n" << result.output;
        for (const std::string& path : c.written) {
            // Read, not looked for: the C library's stat stops at 260
            // characters on Windows.
            EXPECT_FALSE(read_bytes(work / (out + "/" + path)).empty()) << c.name << ": " << path;
        }
        for (const std::string& path : c.absent) {
            EXPECT_FALSE(std::filesystem::exists(work.path() / out / utf8_path(path))) << c.name << ": " << path;
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

namespace {

// Ten streams of 4 MiB of blocks, in a folder of their own; returns what
// each converts to.
std::vector<std::int16_t> write_streams(const temp_dir& work)
{
    const std::vector<adpcm_block> pattern = random_blocks(4096, 9);
    std::vector<adpcm_block> stream;
    for (int i = 0; i < 64; ++i) {
        stream.insert(stream.end(), pattern.begin(), pattern.end());
    }
    const bytes file = raw_block_stream(stream);
    std::filesystem::create_directories(work.path() / "STREAMS");
    for (char name = '0'; name <= '9'; ++name) {
        EXPECT_TRUE(write_file(work / (std::string{"STREAMS/S"} + name + ".BIN"), file));
    }
    return decode_all(stream).samples;
}

// What a stopped run leaves: each WAV file whole or a true prefix, and not
// all of them there.
void expect_valid_files(const std::filesystem::path& folder, const std::vector<std::int16_t>& full)
{
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator{folder}) {
        ++files;
        const wav_contents out = parse_wav(read_bytes(utf8_string(entry.path())));
        EXPECT_EQ(out.riff_size, 50 + out.data_size) << entry.path();
        EXPECT_EQ(out.sample_count, out.samples.size()) << entry.path();
        ASSERT_LE(out.samples.size(), full.size());
        EXPECT_TRUE(std::equal(out.samples.begin(), out.samples.end(), full.begin())) << entry.path();
    }
    EXPECT_GE(files, 1U);
    EXPECT_LT(files, 10U) << "stopped before the end";
}

} // namespace

#ifndef _WIN32
// One file at a time, the run held (SIGSTOP) once its second file has begun,
// so that the signal surely comes in the middle of it.
TEST(discrip, signals_stop_the_run_between_blocks_and_end_it)
{
    const temp_dir work;
    const std::vector<std::int16_t> full = write_streams(work);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        const std::string out = "out" + std::to_string(signal);
        SCOPED_TRACE(out);
        running_program running{discrip_path(), {discrip_path(), "-j", "1", "-o", out, "STREAMS"}, work.path()};
        wait_while_running(running, [&] { return has_grown(work / (out + "/STREAMS/S1.BIN.wav"), 0); });
        ASSERT_TRUE(running.interrupt(SIGSTOP));
        EXPECT_FALSE(has_grown(work / (out + "/STREAMS/S9.BIN.wav"), 0)) << "held before its end";
        ASSERT_TRUE(running.interrupt(signal) && running.interrupt(SIGCONT));
        const program_result result = running.wait();
        EXPECT_EQ(result.end_signal, signal) << result.output;
        EXPECT_NE(result.output.find(" converted, 0 skipped, "), std::string::npos) << result.output;
        expect_valid_files(work.path() / out / "STREAMS", full);
    }
}
#else
// As from Explorer: an image dropped on the program converts beside it and
// the window waits for Enter; Ctrl-C there stops a run as on a command line.
TEST(discrip, in_a_window_of_its_own_writes_beside_the_input_and_waits_for_enter)
{
    if (const std::optional<std::string> why = no_console_window()) {
        GTEST_SKIP() << *why;
    }
    const temp_dir work;
    const std::vector<std::int16_t> full = write_streams(work);
    std::filesystem::create_directories(work.path() / "elsewhere");
    const std::string dropped = utf8_string(std::filesystem::absolute(work.path() / "STREAMS" / "S0.BIN"));
    {
        running_program running{
            discrip_path(), {discrip_path(), dropped}, work.path() / "elsewhere", {.own_console = true}};
        // Looking at the window attaches this process to the program's
        // console: not before the program has seen it was alone there.
        wait_while_running(running, [&] { return has_grown(work / "STREAMS/S0.BIN.wav", 0); });
        std::string shown;
        wait_while_running(running, [&] {
            shown = running.console_text();
            return shown.find("Press Enter") != std::string::npos;
        });
        EXPECT_NE(shown.find("1 converted, 0 skipped, 0 failed\nPress Enter to close this window.\n"),
                  std::string::npos)
            << shown;
        EXPECT_FALSE(running.has_ended()) << "it waits";
        EXPECT_TRUE(running.press(running_program::key::enter));
        EXPECT_EQ(running.wait().exit_status, 0);
        EXPECT_EQ(parse_wav(read_bytes(work / "STREAMS/S0.BIN.wav")).samples, full);
    }
    running_program running{
        discrip_path(), {discrip_path(), "-j", "1", "-o", "out", "STREAMS"}, work.path(), {.own_console = true}};
    wait_while_running(running, [&] { return has_grown(work / "out/STREAMS/S1.BIN.wav", 0); });
    ASSERT_TRUE(running.press(running_program::key::ctrl_c));
    EXPECT_EQ(static_cast<std::uint32_t>(running.wait().exit_status), 0xC000013AU) << "STATUS_CONTROL_C_EXIT";
    expect_valid_files(work.path() / "out" / "STREAMS", full);
}
#endif
