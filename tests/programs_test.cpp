// The real binaries, end to end: standard output byte for byte, the exit
// status and the WAV file, for both programs alike.
#include "file_writer.hpp"
#include "sample_files.hpp"
#include "support/programs.hpp"
#include "support/range_lock.hpp"
#include "support/reference_decoding.hpp"
#include "support/test_files.hpp"
#include "wav_output.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <thread>
#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

struct program {
    const char* name;
    std::string path;
    std::string banner;
    std::string usage;
    std::string rate_switch;
    std::string switch_message;
    std::uint32_t default_rate;
    std::uint32_t switched_rate;
    std::vector<std::uint8_t> (*package)(std::span<const adpcm_block>);
    // The blocks as the start of a longer input, read without seeking, so
    // that the program waits for more on a slow input.
    std::vector<std::uint8_t> (*open_ended)(std::span<const adpcm_block>);
};

void PrintTo(const program& tool, std::ostream* out)
{
    *out << tool.name;
}

std::vector<std::uint8_t> in_container(std::span<const adpcm_block> blocks)
{
    return build_container(blocks, {{5, 2}, {100, 7}});
}

std::vector<std::uint8_t> in_long_audio_chunk(std::span<const adpcm_block> blocks)
{
    std::vector<std::uint8_t> file;
    append_chunk_header(file, "Ad10", 0x7FFFFFF0);
    const std::vector<std::uint8_t> payload = raw_block_stream(blocks);
    file.insert(file.end(), payload.begin(), payload.end());
    return file;
}

const program cinerip{
    "cinerip",
    cinerip_path(),
    "cinerip converter v0.2 - Orlandel\r\nRips to WAV format the audio track of Starvane PSX videos\r\n",
    "Usage is: cinerip <-11> file\r\nThe sound is assumed to be sampled at 22khz, unless the -11 switch is "
    "used.\r\nIn this case 11khz will be assumed\r\n",
    "-11",
    "-11 switch detected, saving WAV file at 11kHz\r\n",
    22050,
    11025,
    in_container,
    in_long_audio_chunk};

const program blockrip{
    "blockrip",
    blockrip_path(),
    "blockrip converter v0.2 - Orlandel\r\n",
    "Usage is: blockrip <-22> file\r\nThe sound is assumed to be sampled at 11khz, unless the -22 switch is "
    "used.\r\nIn this case 22khz will be assumed\r\n",
    "-22",
    "-22 switch detected, saving WAV file at 22kHz\r\n",
    11025,
    22050,
    raw_block_stream,
    raw_block_stream};

const std::string decompressing = "Decompressing...\r\n";
const std::string done = "DONE!\r\n";

class programs_test : public ::testing::TestWithParam<program> {
protected:
    const program& tool = GetParam();
    temp_dir dir;
    const std::vector<adpcm_block> blocks = random_blocks(40, 1);

    std::string write_input(const std::string& name, std::span<const std::uint8_t> bytes) const
    {
        EXPECT_TRUE(write_file(dir / name, bytes));
        return name;
    }

    std::string write_sound(const std::string& name) const { return write_input(name, tool.package(blocks)); }

    [[nodiscard]] program_result run(std::vector<std::string> arguments, program_options options = {}) const
    {
        arguments.insert(arguments.begin(), tool.path);
        program_result result = run_program(tool.path, arguments, dir.path(), options);
        EXPECT_EQ(result.errors, "") << "nothing goes to the error stream";
        return result;
    }

    [[nodiscard]] bool exists(const std::string& name) const
    {
        return std::filesystem::exists(std::filesystem::symlink_status(utf8_path(dir / name)));
    }

    [[nodiscard]] wav_contents wav(const std::string& name) const { return parse_wav(read_bytes(dir / name)); }

    // A stopped conversion's file: a true header, and the samples of the full
    // conversion up to where it stopped.
    static void expect_valid_prefix(const wav_contents& out, const std::vector<std::int16_t>& full)
    {
        EXPECT_EQ(out.riff_size, 50 + out.data_size);
        EXPECT_EQ(out.data_size, 2 * out.samples.size());
        EXPECT_EQ(out.sample_count, out.samples.size());
        ASSERT_LE(out.samples.size(), full.size());
        EXPECT_TRUE(std::equal(out.samples.begin(), out.samples.end(), full.begin()));
    }

    void expect_converted(const std::string& wav_name, std::uint32_t rate) const
    {
        const wav_contents out = wav(wav_name);
        EXPECT_EQ(out.samples, decode_all(blocks).samples);
        EXPECT_EQ(out.rate, rate);
        EXPECT_EQ(out.byte_rate, 2 * rate);
        EXPECT_EQ(out.riff_size, 50 + 56 * blocks.size());
        EXPECT_EQ(out.sample_count, 28 * blocks.size());
        EXPECT_EQ(out.data_size, 56 * blocks.size());
    }
};

TEST_P(programs_test, without_arguments_shows_usage)
{
    const program_result result = run({});
    EXPECT_EQ(result.output, tool.banner + tool.usage);
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST_P(programs_test, converts_at_the_default_rate)
{
    write_sound("sound.bin");
    const program_result result = run({"sound.bin"});
    EXPECT_EQ(result.output, tool.banner + decompressing + done);
    EXPECT_EQ(result.exit_status, 0);
    expect_converted("sound.bin.wav", tool.default_rate);
}

TEST_P(programs_test, switch_and_options_are_reported_in_order)
{
    write_sound("first.x");
    write_sound("second.y");
    const program_result result =
        run({"-x", tool.rate_switch, "first.x", tool.rate_switch + "x", tool.rate_switch, "second.y"});
    EXPECT_EQ(result.output, tool.banner + "unknown option -x\r\n" + tool.switch_message + "unknown option " +
                                 tool.rate_switch + "x\r\n" + tool.switch_message + decompressing + done);
    EXPECT_EQ(result.exit_status, 0);
    expect_converted("second.y.wav", tool.switched_rate);
    EXPECT_FALSE(exists("first.x.wav")) << "only the last path is converted";
}

TEST_P(programs_test, unknown_option_keeps_the_default_rate)
{
    write_sound("sound");
    const program_result result = run({"sound", "-"});
    EXPECT_EQ(result.output, tool.banner + "unknown option -\r\n" + decompressing + done);
    expect_converted("sound.wav", tool.default_rate);
}

TEST_P(programs_test, without_an_input_path_shows_usage)
{
    const program_result result = run({tool.rate_switch, "-q"});
    EXPECT_EQ(result.output, tool.banner + tool.switch_message + "unknown option -q\r\n" + tool.usage);
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST_P(programs_test, unopenable_inputs_are_reported_as_typed)
{
    std::filesystem::create_directory(dir / "folder");
    for (const std::string& path : {std::string{}, std::string{"missing file"}, std::string{"./folder"}}) {
        const program_result result = run({path});
        EXPECT_EQ(result.output, tool.banner + "ERROR: Cannot open file " + path + "\r\n");
        EXPECT_EQ(result.exit_status, 2);
        EXPECT_FALSE(exists(path + ".wav")) << path;
    }
}

TEST_P(programs_test, output_that_reaches_the_input_is_refused)
{
    const std::vector<std::uint8_t> input = tool.package(blocks);
    write_input("hard", input);
    std::filesystem::create_hard_link(dir / "hard", dir / "hard.wav");
    std::filesystem::create_directory(dir / "folder.wav");
    write_input("folder", input);
    std::vector<std::string> names{"hard", "folder"};
    write_input("linked", input);
    const bool linked = make_symlink("linked", dir / "linked.wav");
    if (linked) {
        names.emplace_back("linked");
    }
    for (const std::string& name : names) {
        const program_result result = run({name});
        EXPECT_EQ(result.output, tool.banner + "ERROR: Cannot open file for decompression: " + name + ".wav\r\n");
        EXPECT_EQ(result.exit_status, 3);
        EXPECT_EQ(read_bytes(dir / name), input) << "the input is left untouched";
    }
    if (!linked) {
        GTEST_SKIP() << "this system does not let the test make a symbolic link; hard link and folder checked";
    }
}

TEST_P(programs_test, replaces_an_existing_output_and_takes_any_path_length)
{
    write_sound("sound");
    write_input("sound.wav", std::vector<std::uint8_t>(100000, 0xAA));
    EXPECT_EQ(run({"sound"}).exit_status, 0);
    expect_converted("sound.wav", tool.default_rate);

    std::string deep;
    for (int level = 0; level < 12; ++level) {
        deep += std::string(200, static_cast<char>('a' + level)) + "/";
    }
    std::filesystem::create_directories(dir / deep);
    write_sound(deep + "sound");
    ASSERT_GT(deep.size(), 2000U);
    EXPECT_EQ(run({deep + "sound"}).exit_status, 0);
    expect_converted(deep + "sound.wav", tool.default_rate);
}

TEST_P(programs_test, takes_names_in_any_script_and_echoes_them_as_typed)
{
    for (const std::string name : {"m\u00fcsica \u97f3.vb", "\u0444\u0438\u043b\u044c\u043c.str", "\U0001F3B5 track"}) {
        write_sound(name);
        const program_result result = run({name});
        EXPECT_EQ(result.output, tool.banner + decompressing + done) << name;
        EXPECT_EQ(result.exit_status, 0);
        expect_converted(name + ".wav", tool.default_rate);

        const program_result missing = run({"missing " + name});
        EXPECT_EQ(missing.output, tool.banner + "ERROR: Cannot open file missing " + name + "\r\n");
        EXPECT_EQ(missing.exit_status, 2);
    }
}

TEST_P(programs_test, empty_input_gives_a_header_alone)
{
    write_input("empty", {});
    EXPECT_EQ(run({"empty"}).exit_status, 0);
    const wav_contents out = wav("empty.wav");
    EXPECT_EQ(out.riff_size, 50U);
    EXPECT_EQ(out.sample_count, 0U);
    EXPECT_EQ(out.data_size, 0U);
    EXPECT_TRUE(out.samples.empty());
}

TEST_P(programs_test, out_of_bounds_filters_warn_between_the_run_lines)
{
    std::vector<adpcm_block> odd = blocks;
    odd[3].bytes[0] = 0x5C;
    odd[7].bytes[0] = 0xF0;
    write_input("odd", tool.package(odd));
    const program_result result = run({"odd"});
    const auto [expected, warnings] = decode_all(odd);
    EXPECT_EQ(warnings, "WARNING: out of bounds\r\nfilterid = 5,\r\nWARNING: out of bounds\r\nfilterid = 15,\r\n");
    EXPECT_EQ(result.output, tool.banner + decompressing + warnings + done);
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(wav("odd.wav").samples, expected);
}

TEST_P(programs_test, failed_writes_stop_the_run_and_leave_no_file)
{
    const std::vector<adpcm_block> many = random_blocks(20000, 2);
    write_input("limited", tool.package(many));
#ifdef _WIN32
    {
        // The disk refuses every byte past the first 100000.
        const range_lock lock{dir / "limited.wav", 100000, std::uint64_t{1} << 40U};
        if (!lock.enforced) {
            GTEST_SKIP() << "this system does not enforce byte-range locks (Wine), and Linux's ways are not here";
        }
        const program_result limited = run({"limited"});
        EXPECT_EQ(limited.output, tool.banner + decompressing + "ERROR: Cannot write file limited.wav\r\n");
        EXPECT_EQ(limited.exit_status, 4);
    }
    EXPECT_FALSE(exists("limited.wav")) << "an incomplete file is removed";
#else
    // A file-size limit that cuts the samples short.
    const program_result limited = run({"limited"}, {.file_size = 100000});
    EXPECT_EQ(limited.output, tool.banner + decompressing + "ERROR: Cannot write file limited.wav\r\n");
    EXPECT_EQ(limited.exit_status, 4);
    EXPECT_FALSE(exists("limited.wav")) << "an incomplete file is removed";

    // A full device behind a link is written to, then left alone.
    write_sound("full");
    ASSERT_TRUE(make_symlink("/dev/full", dir / "full.wav"));
    const program_result on_full_device = run({"full"});
    EXPECT_EQ(on_full_device.output, tool.banner + "ERROR: Cannot write file full.wav\r\n");
    EXPECT_EQ(on_full_device.exit_status, 4);
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "full.wav"));

    // A limit that the samples just fit, leaving only the finish to fail.
    write_sound("tight");
    const program_result tight = run({"tight"}, {.file_size = 58 + 56 * blocks.size() - 1});
    EXPECT_EQ(tight.exit_status, 4);
    EXPECT_FALSE(exists("tight.wav"));
#endif
}

TEST_P(programs_test, failed_reads_stop_the_run_with_a_valid_file)
{
#ifdef _WIN32
    // A range that another process holds locked cannot be read.
    write_sound("unreadable");
    const range_lock lock{dir / "unreadable", 0, std::uint64_t{1} << 40U};
    if (!lock.enforced) {
        GTEST_SKIP() << "this system does not enforce byte-range locks (Wine), and Linux's ways are not here";
    }
#else
    // Reading a process's memory at offset 0 fails: nothing is mapped there.
    ASSERT_TRUE(make_symlink("/proc/self/mem", dir / "unreadable"));
#endif
    const program_result result = run({"unreadable"});
    EXPECT_EQ(result.output, tool.banner + decompressing + "ERROR: Cannot read file unreadable\r\n");
    EXPECT_EQ(result.exit_status, 4);
    const wav_contents out = wav("unreadable.wav");
    EXPECT_EQ(out.riff_size, 50U);
    EXPECT_TRUE(out.samples.empty());
}

#ifndef _WIN32
// The input is a FIFO that the test feeds and keeps open, so the program
// waits on it mid-stream, blocked in a read, until the test acts.
TEST_P(programs_test, interrupts_leave_a_valid_prefix_and_end_by_the_signal)
{
    std::signal(SIGPIPE, SIG_IGN); // a program that quit early must fail the test, not end it
    const std::vector<adpcm_block> fed = random_blocks(8 * default_pending_blocks, 9);
    const std::vector<std::uint8_t> input = tool.open_ended(fed);
    const std::vector<std::int16_t> full = decode_all(fed).samples;
    // The samples are written default_pending_blocks at a time: all but the
    // last such piece are on disk once most of the input is decoded (6 MB).
    const std::uint64_t max_length = wav_header_bytes + 7 * default_pending_blocks * pcm_block_bytes;
    const struct {
        int signal;
        bool ignored_from_the_start; // as under nohup
    } cases[] = {{SIGINT, false}, {SIGTERM, false}, {SIGHUP, false}, {SIGHUP, true}};
    for (const auto& [signal, ignored] : cases) {
        const std::string name = "slow" + std::to_string(signal) + (ignored ? "-ignored" : "");
        SCOPED_TRACE(name);
        ASSERT_EQ(::mkfifo((dir / name).c_str(), 0600), 0);
        running_program running{tool.path, {tool.path, name}, dir.path(), {.ignored_signal = ignored ? signal : 0}};
        const int feed = ::open((dir / name).c_str(), O_WRONLY | O_CLOEXEC);
        ASSERT_GE(feed, 0);
        ASSERT_EQ(::write(feed, input.data(), input.size()), static_cast<ssize_t>(input.size()));
        wait_while_running(running, [&] { return has_grown(dir / (name + ".wav"), max_length); });
        ASSERT_TRUE(running.interrupt(signal));
        if (!ignored) {
            wait_while_running(running, [] { return false; });
            EXPECT_TRUE(running.has_ended()) << "the read blocked on the open FIFO returns to the signal";
        }
        ::close(feed);
        const program_result result = running.wait();
        const wav_contents out = wav(name + ".wav");
        expect_valid_prefix(out, full);
        if (ignored) {
            EXPECT_TRUE(result.output.ends_with(done)) << result.output; // cinerip: the chunk was cut short
            EXPECT_EQ(result.exit_status, 0);
            EXPECT_EQ(out.samples.size(), full.size()) << "the whole input";
        } else {
            EXPECT_EQ(result.output, tool.banner + decompressing + "ERROR: Conversion interrupted\r\n");
            EXPECT_EQ(result.end_signal, signal) << "ended by the signal itself";
            EXPECT_GE(out.samples.size(), (max_length - wav_header_bytes) / 2) << "what was decoded is kept";
        }
    }
}

TEST_P(programs_test, closed_standard_output_costs_nothing)
{
    std::vector<adpcm_block> noisy = random_blocks(3000, 4);
    for (std::size_t i = 0; i < noisy.size(); i += 2) {
        noisy[i].bytes[0] = 0x7C; // about 60 kB of warnings
    }
    write_input("noisy", tool.package(noisy));
    const program_result result = run({"noisy"}, {.output_closed = true});
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(wav("noisy.wav").samples, decode_all(noisy).samples);
}
#endif

#ifdef _WIN32
// Ctrl-C in the program's window, as a user presses it there.
TEST_P(programs_test, ctrl_c_leaves_a_valid_prefix_and_ends_as_windows_expects)
{
    if (const std::optional<std::string> why = no_console_window()) {
        GTEST_SKIP() << *why;
    }
    const std::vector<adpcm_block> pattern = random_blocks(4096, 9);
    std::vector<adpcm_block> fed;
    for (int i = 0; i < 1024; ++i) {
        fed.insert(fed.end(), pattern.begin(), pattern.end());
    }
    write_input("long", tool.open_ended(fed));
    running_program running{tool.path, {tool.path, "long"}, dir.path(), {.own_console = true}};
    wait_while_running(running, [&] { return has_grown(dir / "long.wav", 8000000); });
    ASSERT_TRUE(running.press(running_program::key::ctrl_c));
    wait_while_running(running, [] { return false; });
    EXPECT_TRUE(running.has_ended()) << "an interrupted run does not wait for Enter";
    EXPECT_EQ(static_cast<std::uint32_t>(running.wait().exit_status), 0xC000013AU) << "STATUS_CONTROL_C_EXIT";
    const wav_contents out = wav("long.wav");
    const std::vector<std::int16_t> full = decode_all(fed).samples;
    expect_valid_prefix(out, full);
    EXPECT_LT(out.samples.size(), full.size());
}

// What Explorer shows under Properties, Details.
TEST_P(programs_test, carries_its_version_for_explorer)
{
    const std::wstring file = utf8_path(tool.path).wstring();
    DWORD ignored = 0;
    std::vector<char> resource(::GetFileVersionInfoSizeW(file.c_str(), &ignored));
    ASSERT_FALSE(resource.empty());
    ASSERT_NE(::GetFileVersionInfoW(file.c_str(), 0, static_cast<DWORD>(resource.size()), resource.data()), 0);
    auto field = [&resource](const wchar_t* name) {
        void* text = nullptr;
        UINT length = 0;
        const std::wstring query = std::wstring{L"\\StringFileInfo\\040904B0\\"} + name;
        if (::VerQueryValueW(resource.data(), query.c_str(), &text, &length) == 0 || length == 0) {
            return std::wstring{};
        }
        return std::wstring{static_cast<const wchar_t*>(text), length - 1};
    };
    EXPECT_EQ(field(L"ProductName"), L"psx-adpcm-rippers");
    EXPECT_EQ(field(L"ProductVersion"), utf8_path(RIPPERS_VERSION).wstring());
    EXPECT_EQ(field(L"OriginalFilename"), utf8_path(std::string{tool.name} + ".exe").wstring());
    EXPECT_FALSE(field(L"FileDescription").empty());
}

// As when started from Explorer: Enter closes the window after the run's last
// line, and Ctrl-C there ends the wait at once, with the run's own status.
TEST_P(programs_test, alone_in_a_window_of_its_own_waits_for_enter_before_closing)
{
    if (const std::optional<std::string> why = no_console_window()) {
        GTEST_SKIP() << *why;
    }
    for (const running_program::key pressed : {running_program::key::enter, running_program::key::ctrl_c}) {
        const std::string input = pressed == running_program::key::enter ? "dropped.bin" : "interrupted.bin";
        SCOPED_TRACE(input);
        write_sound(input);
        running_program running{tool.path, {tool.path, input}, dir.path(), {.own_console = true}};
        // Looking at the window attaches this process to the program's
        // console: not before the program has seen it was alone there.
        wait_while_running(running, [&] { return has_grown(dir / (input + ".wav"), wav_header_bytes); });
        std::string shown;
        wait_while_running(running, [&] {
            shown = running.console_text();
            return shown.find("Press Enter") != std::string::npos;
        });
        std::string expected = tool.banner + decompressing + done + "Press Enter to close this window.\r\n";
        std::erase(expected, '\r'); // a window holds lines, not line ends
        EXPECT_TRUE(shown.starts_with(expected)) << shown;
        EXPECT_FALSE(running.has_ended()) << "it waits";
        EXPECT_TRUE(running.press(pressed));
        wait_while_running(running, [] { return false; });
        EXPECT_TRUE(running.has_ended()) << "the key ends the wait";
        EXPECT_EQ(running.wait().exit_status, 0) << "the run's status, not STATUS_CONTROL_C_EXIT";
        expect_converted(input + ".wav", tool.default_rate);
    }
}
#endif

INSTANTIATE_TEST_SUITE_P(both, programs_test, ::testing::Values(cinerip, blockrip),
                         [](const auto& test_info) { return std::string{test_info.param.name}; });

TEST(cinerip_program, reports_a_file_that_ends_inside_audio)
{
    temp_dir dir;
    const std::vector<adpcm_block> blocks = random_blocks(3, 3);
    std::vector<std::uint8_t> file;
    append_chunk(file, "Ad10", raw_block_stream(blocks));
    file[7] += 16; // one block more than the file holds
    ASSERT_TRUE(write_file(dir / "cut", file));
    const program_result result = run_program(cinerip_path(), {"cinerip", "cut"}, dir.path());
    EXPECT_EQ(result.output, cinerip.banner + decompressing + "WARNING: file ends inside an audio chunk\r\n" + done);
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(parse_wav(read_bytes(dir / "cut.wav")).samples, decode_all(blocks).samples);
}

} // namespace
