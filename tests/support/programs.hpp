#pragma once

// Running the programs under test as a user does: as processes of their own.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
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
};

// The programs under test, which the build puts beside the test programs.
[[nodiscard]] std::filesystem::path executable_directory();
[[nodiscard]] std::string cinerip_path();
[[nodiscard]] std::string blockrip_path();

// A program started in the background, for tests that act on it while it
// runs; its standard output is collected by wait(). On Windows it runs in a
// process group of its own.
class running_program {
public:
    running_program(const std::string& program, const std::vector<std::string>& arguments,
                    const std::filesystem::path& directory, program_options options = {});
    running_program(const running_program&) = delete;
    running_program& operator=(const running_program&) = delete;
    ~running_program();

    // Sends `signal` (POSIX), or Ctrl-Break to the program's process group
    // (Windows, where `signal` is not used). False if it cannot be sent.
    [[nodiscard]] bool interrupt(int signal);
    [[nodiscard]] bool has_ended();
    [[nodiscard]] program_result wait();

private:
    struct child; // what the system keeps of the started process
    std::unique_ptr<child> child_;
};

// Runs `program` with `arguments` (argv[0] is the program) in `directory`.
[[nodiscard]] program_result run_program(const std::string& program, const std::vector<std::string>& arguments,
                                         const std::filesystem::path& directory, program_options options = {});

// What a program wrote to the file its standard error went to; the file goes.
[[nodiscard]] std::string take_error_output(const std::filesystem::path& file);
