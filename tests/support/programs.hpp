#pragma once

// Running the programs under test as a user does: as processes of their own.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

struct program_result {
    int exit_status;    // 128 + the signal's number for a process a signal ended
    std::string output; // standard output, byte for byte
    std::string errors; // standard error
    int end_signal = 0; // the signal that ended the process, if one did
};

struct program_options {
    // RLIMIT_FSIZE in bytes, with SIGXFSZ ignored so that a write past it
    // fails. POSIX only.
    std::optional<std::uint64_t> file_size = std::nullopt;
    // Standard output is a pipe that nobody reads, as after `| head -1`
    // has quit. POSIX only.
    bool output_closed = false;
    // A signal the program starts with ignored, as under nohup. POSIX only.
    int ignored_signal = 0;
    // A console window of the program's own, with its standard input and
    // output on it, as when started from Explorer; what it shows is read
    // from the window (console_text), not from a pipe. Windows only.
    bool own_console = false;
};

// The programs under test, which the build puts beside the test programs.
[[nodiscard]] std::filesystem::path executable_directory();
[[nodiscard]] std::string cinerip_path();
[[nodiscard]] std::string blockrip_path();
[[nodiscard]] std::string discrip_path();

// A program started in the background, for tests that act on it while it
// runs; its standard output is collected by wait().
class running_program {
public:
    running_program(const std::string& program, const std::vector<std::string>& arguments,
                    const std::filesystem::path& directory, program_options options = {});
    running_program(const running_program&) = delete;
    running_program& operator=(const running_program&) = delete;
    ~running_program();

    // Sends `signal`; false if it cannot be sent. POSIX only: on Windows,
    // press Ctrl-C in a window of the program's own.
    [[nodiscard]] bool interrupt(int signal);
    [[nodiscard]] bool has_ended();
    [[nodiscard]] program_result wait();

    // With own_console: the text in the window, a line per row, and a key
    // pressed there.
    enum class key { enter, ctrl_c };
    [[nodiscard]] std::string console_text();
    [[nodiscard]] bool press(key pressed);

private:
    struct child; // what the system keeps of the started process
    std::unique_ptr<child> child_;
};

// Runs `program` with `arguments` (argv[0] is the program) in `directory`.
[[nodiscard]] program_result run_program(const std::string& program, const std::vector<std::string>& arguments,
                                         const std::filesystem::path& directory, program_options options = {});

// Why a program cannot be given a console window of its own here
// (own_console), if it cannot.
[[nodiscard]] std::optional<std::string> no_console_window();

// Polls, for about 30 s at the most, until the program has ended or
// `condition` holds.
template <typename condition_type>
void wait_while_running(running_program& running, condition_type condition)
{
    for (int wait = 0; wait < 15000 && !condition() && !running.has_ended(); ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds{2});
    }
}

// Whether the file (a UTF-8 name) has grown to `bytes`.
[[nodiscard]] bool has_grown(const std::string& file, std::uintmax_t bytes);

// What a program wrote to the file its standard error went to; the file goes.
[[nodiscard]] std::string take_error_output(const std::filesystem::path& file);
