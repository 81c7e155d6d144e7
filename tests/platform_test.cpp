// The system layer's own logic: the text conversions behind Windows file
// names and command lines, the extended-length paths and when a console
// window stays open, checked on every system; the names the system is
// handed on the one it runs on; and what a part of a file costs to read.
#include "file_streams.hpp"
#include "platform.hpp"
#include "program_entry.hpp"
#include "support/test_files.hpp"
#include "wide_text.hpp"

#include <gtest/gtest.h>

#include <fstream>

namespace {

TEST(wide_text, names_come_back_exactly_as_the_system_gave_them)
{
    const std::u16string names[] = {
        u"",
        u"plain.str",
        u"m\u00fcsica \u97f3.vb",
        u"\u0444\u0438\u043b\u044c\u043c.str",
        u"\U0001F3B5 beyond the basic plane",
        u"lone \xD800 high",
        u"lone \xDC00 low",
        u"reversed \xDC00\xD800 pair",
        u"\xD83C",
    };
    for (const std::u16string& name : names) {
        EXPECT_EQ(utf16_from_wtf8(wtf8_from_utf16(name)), name);
    }
    EXPECT_EQ(wtf8_from_utf16(u"m\u00fcsica \u97f3"), "m\xC3\xBCsica \xE9\x9F\xB3");
    EXPECT_EQ(wtf8_from_utf16(u"\U0001F3B5"), "\xF0\x9F\x8E\xB5");
    EXPECT_EQ(wtf8_from_utf16(u"\xD800"), "\xED\xA0\x80");
}

TEST(wide_text, malformed_bytes_become_replacement_characters)
{
    const struct {
        std::string bytes;
        std::u16string text;
    } cases[] = {
        {"a\x80z", u"a\uFFFDz"},                           // a continuation byte alone
        {"\xC0\xAF", u"\uFFFD\uFFFD"},                     // an overlong slash
        {"\xE9\x9F", u"\uFFFD\uFFFD"},                     // cut short at the end
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"}, // beyond U+10FFFF
        {"\xFF", u"\uFFFD"},
    };
    for (const auto& [bytes, text] : cases) {
        EXPECT_EQ(utf16_from_wtf8(bytes), text);
    }
}

TEST(wide_text, extended_length_paths_keep_every_form_windows_has)
{
    const struct {
        std::u16string full;
        std::u16string extended;
    } cases[] = {
        {u"C:\\rips\\intro.str", u"\\\\?\\C:\\rips\\intro.str"},
        {u"\\\\server\\share\\intro.str", u"\\\\?\\UNC\\server\\share\\intro.str"},
        {u"\\\\?\\C:\\already", u"\\\\?\\C:\\already"},
        {u"\\\\.\\pipe\\feed", u"\\\\.\\pipe\\feed"},
    };
    for (const auto& [full, extended] : cases) {
        EXPECT_EQ(extended_length_path(full), extended);
    }
}

TEST(native_path, lifts_the_path_length_limit_where_there_is_one)
{
    const std::string typed = std::string(300, 'a') + "/intro.str";
#ifdef _WIN32
    const std::wstring native = native_path(typed).wstring();
    const std::wstring expected_end = L"\\" + std::wstring(300, L'a') + L"\\intro.str";
    EXPECT_TRUE(native.starts_with(L"\\\\?\\")) << "extended-length form";
    EXPECT_TRUE(native.ends_with(expected_end)) << "full path, separators made native";
    EXPECT_EQ(native_path("C:\\rips\\..\\intro.str").wstring(), L"\\\\?\\C:\\intro.str");
#else
    EXPECT_EQ(native_path(typed).string(), typed) << "POSIX has no such limit: the bytes as typed";
#endif
}

TEST(console_window, stays_open_only_for_a_program_alone_in_its_console)
{
    const console_start alone{1, true, true};
    const struct {
        console_start start;
        run_outcome outcome;
        bool kept_open;
    } cases[] = {
        {alone, run_outcome::done, true},        // a file dropped on the .exe
        {alone, run_outcome::usage_shown, true}, // a double-click with no file
        {alone, run_outcome::stopped_early, true},
        {alone, run_outcome::interrupted, false},      // Ctrl-C or a closed window
        {{2, true, true}, run_outcome::done, false},   // a command prompt's child
        {{1, false, true}, run_outcome::done, false},  // input from a file or a pipe
        {{1, true, false}, run_outcome::done, false},  // output to a file or a pipe
        {{0, false, false}, run_outcome::done, false}, // no console, or not Windows
    };
    for (const auto& [start, outcome, kept_open] : cases) {
        EXPECT_EQ(keeps_window_open(start, outcome), kept_open)
            << start.attached_processes << start.input_is_console << start.output_is_console;
    }
    // Under the test runner, output goes to a pipe or a file.
    EXPECT_FALSE(keeps_window_open(read_console_start(), run_outcome::done));
}

} // namespace

namespace {

// What this process has read through read calls, as Linux counts it; the
// count includes reading it, the same few bytes each time. Under Wine the
// count would be Wine's own, which reads for itself.
long long bytes_read_so_far()
{
#ifdef _WIN32
    return -1;
#else
    std::ifstream io{"/proc/self/io"};
    std::string field;
    long long bytes = -1;
    io >> field >> bytes;
    return field == "rchar:" ? bytes : -1;
#endif
}

} // namespace

TEST(disk_files, a_part_of_a_file_is_read_and_no_further)
{
    const temp_dir dir;
    std::vector<std::uint8_t> bytes(300000);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    }
    std::ofstream{dir.path() / "image.bin", std::ios::binary}.write(reinterpret_cast<const char*>(bytes.data()),
                                                                    static_cast<std::streamsize>(bytes.size()));
    const struct {
        std::uint64_t offset;
        std::uint64_t length;
    } parts[] = {{0, 0}, {0, 160}, {2352, 2352}, {100000, 70000}, {250000, 100000}, {400000, 10}};
    disk_files files;
    for (const auto& [offset, length] : parts) {
        SCOPED_TRACE(std::to_string(offset) + "+" + std::to_string(length));
        const long long before = bytes_read_so_far();
        const std::unique_ptr<byte_source> source = files.open_input_range(dir / "image.bin", offset, length);
        ASSERT_TRUE(source);
        std::vector<std::uint8_t> got;
        for (fetch_result next = source->fetch(); !next.bytes.empty(); next = source->fetch()) {
            ASSERT_EQ(next.status, fetch_status::ok);
            got.insert(got.end(), next.bytes.begin(), next.bytes.end());
        }
        ASSERT_EQ(source->close(), io_status::ok);
        const std::size_t from = std::min<std::size_t>(offset, bytes.size());
        const std::size_t to = std::min<std::size_t>(offset + length, bytes.size());
        EXPECT_TRUE(std::ranges::equal(got, std::span{bytes}.subspan(from, to - from)));
        const long long counted = bytes_read_so_far() - before;
        if (before >= 0) {
            EXPECT_LT(counted, static_cast<long long>(to - from) + 4096) << "read past the part (a fetch is 64 KiB)";
        }
    }
}
