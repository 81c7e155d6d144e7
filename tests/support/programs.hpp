#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Test file names are UTF-8 on every system, as the programs take them.
[[nodiscard]] std::filesystem::path utf8_path(std::string_view name);
[[nodiscard]] std::string utf8_string(const std::filesystem::path& path);

// A fresh directory under the system's temporary directory, removed with
// everything in it at the end of the test.
class temp_dir {
public:
    temp_dir();
    temp_dir(const temp_dir&) = delete;
    temp_dir& operator=(const temp_dir&) = delete;
    ~temp_dir();

    [[nodiscard]] const std::filesystem::path& path() const { return path_; }
    [[nodiscard]] std::string operator/(const std::string& name) const { return utf8_string(path_ / utf8_path(name)); }

private:
    std::filesystem::path path_;
};

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

[[nodiscard]] std::vector<std::uint8_t> read_bytes(const std::string& file);

// What a program wrote to the file its standard error went to; the file goes.
[[nodiscard]] std::string take_error_output(const std::filesystem::path& file);

// Makes `link` a symbolic link to `target`. False where the system does not
// let this process make one (Windows without the privilege, or Wine).
[[nodiscard]] bool make_symlink(const std::string& target, const std::string& link);

#ifdef _WIN32
// An exclusive byte-range lock that this process holds on a file, so that the
// programs' reads and writes in the range fail, as they do on a damaged disk
// or a full one. `enforced` tells whether the system really refuses other
// handles' reads and writes there, which Windows does and Wine does not.
// (POSIX locks are advisory, so there is no such thing there.)
class range_lock {
public:
    range_lock(const std::string& file, std::uint64_t offset, std::uint64_t length);
    range_lock(const range_lock&) = delete;
    range_lock& operator=(const range_lock&) = delete;
    ~range_lock();

    bool enforced = false;

private:
    void* handle_ = nullptr;
};
#endif

struct wav_contents {
    std::uint32_t riff_size;
    std::uint32_t rate;
    std::uint32_t byte_rate;
    std::uint32_t sample_count;
    std::uint32_t data_size;
    std::vector<std::int16_t> samples;
};

// The fields of our WAV header and the samples after it; fails the test if
// the fixed parts of the header are not as the programs write them.
[[nodiscard]] wav_contents parse_wav(const std::vector<std::uint8_t>& file);
