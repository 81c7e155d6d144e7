#pragma once

// What differs between the systems the programs run on: how the command line
// arrives, how files are named and positioned, and how text reaches the
// console. One implementation per system (platform_posix.cpp,
// platform_windows.cpp); nothing else in the programs depends on the system.

#include "interrupts.hpp"
#include "streams.hpp"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The process's arguments, program name first, as 8-bit strings: the bytes
// as given on POSIX; on Windows the UTF-16 command line in WTF-8, since argv
// there holds the ANSI code page, which loses most of the world's names.
[[nodiscard]] std::vector<std::string> command_line_arguments(int argc, const char* const* argv);

// The name under which the system opens a path as typed: the same bytes on
// POSIX; on Windows the full path in extended-length form, so that paths
// longer than 260 characters work.
[[nodiscard]] std::filesystem::path native_path(const std::string& path);

// Whether the path names a directory, which the programs never open.
[[nodiscard]] bool names_directory(const std::filesystem::path& path);

// What a folder walk needs to know of a path (a native one); nothing where
// the system cannot say. On Windows asked of the system itself, since the C
// library's stat cannot reach past 260 characters.
struct path_facts {
    bool folder;
    bool regular_file;
    std::uint64_t size; // of a regular file
};
[[nodiscard]] std::optional<path_facts> facts_of(const std::filesystem::path& path);

// Whether both paths lead to one file, through links of any kind.
[[nodiscard]] bool name_same_file(const std::filesystem::path& first, const std::filesystem::path& second);

// Removes a file that a run wrote and gave up on, if it is a regular file: a
// device is left alone, and through a symbolic link the file written is the
// link's target, so that is what goes. Best effort.
void remove_written_file(const std::filesystem::path& path);

enum class file_access { read, write };

// Opens an existing file for binary reading, or creates or truncates one for
// binary writing. Null on failure.
[[nodiscard]] std::FILE* open_file(const std::filesystem::path& path, file_access access);

struct [[nodiscard]] input_read {
    fetch_status status; // as a fetch of the run's input says it
    std::size_t count;   // 0 at the end of the input
};

// Reads the input's next bytes: as many as are there, up to `into.size()`.
// Once an interrupt has come it reads nothing more and says so, and an
// interrupt that comes while it waits on a slow input (a pipe) ends the wait:
// an interrupt can never leave the run blocked in a read.
[[nodiscard]] input_read read_input(std::FILE* file, std::span<std::uint8_t> into);
// Moves the input's position `count` bytes on.
[[nodiscard]] bool skip_input(std::FILE* file, std::int64_t count);

// The output's position, past 2 GiB too, which std::fseek and std::ftell
// cannot reach where `long` has 32 bits: set from the start, and queried
// (-1 on failure).
[[nodiscard]] bool seek_file(std::FILE* file, std::int64_t offset);
[[nodiscard]] std::int64_t tell_file(std::FILE* file);

// The user's interrupt: SIGINT, SIGTERM and SIGHUP on POSIX; Ctrl-C,
// Ctrl-Break, a closed console window, logoff and shutdown on Windows. While
// watched, an interrupt only raises a flag that the input is read against
// (read_input), so that the run can stop between blocks and leave a valid WAV
// file; a second one ends the process at once. A signal that was ignored when
// the program started stays ignored. Unwatched, interrupts keep their usual
// effect. The handlers are the process's own, so only a program's entry
// watches, once.
class system_interrupts final : public interrupts {
public:
    void begin_watch() override;
    void end_watch() override;
    [[nodiscard]] bool received() const override;
};

// Ends the process the way the interrupt that came would have ended it, so
// that a shell loop, make or xargs that runs the program stops too. Returns
// only if no interrupt came.
void end_by_interrupt();

// A closed standard output (a pipe whose reader has gone) makes writes to it
// fail instead of killing the process.
void ignore_broken_pipes();

// Where the program's console came from, as far as its window's life goes.
struct console_start {
    unsigned attached_processes; // the processes sharing the console; 0 without one
    bool input_is_console;
    bool output_is_console;
};

// On Windows, what the console says of itself; elsewhere a terminal outlives
// the programs it runs, so there is never a console to keep.
[[nodiscard]] console_start read_console_start();

// Keeps the program's console window open for the user to read: discards
// what was typed during the run, shows `prompt` and waits for Enter.
// Ctrl-C or closing the window end the process at once, with `status`.
void wait_for_enter(std::string_view prompt, int status);

// Writes message text to standard output as it stands, with no newline
// translation. On a Windows console the text is shown through the console's
// UTF-16 interface, so that names read right whatever its code page. Best
// effort: returns false when the text could not be written whole.
bool write_standard_output(std::string_view text);

// Whether standard error is a terminal (a console on Windows), where a
// person watches a progress line; and that line's text, written to it at
// once. Best effort, as above.
[[nodiscard]] bool standard_error_is_terminal();
bool write_standard_error(std::string_view text);
