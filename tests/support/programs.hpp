#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// A fresh directory under the system's temporary directory, removed with
// everything in it at the end of the test.
class temp_dir {
public:
    temp_dir();
    temp_dir(const temp_dir&) = delete;
    temp_dir& operator=(const temp_dir&) = delete;
    ~temp_dir();

    [[nodiscard]] const std::filesystem::path& path() const { return path_; }
    [[nodiscard]] std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

struct program_result {
    int exit_status;
    std::string output; // standard output, byte for byte
    std::string errors; // standard error
};

struct program_limits {
    // RLIMIT_FSIZE in bytes, with SIGXFSZ ignored so that a write past it fails.
    std::optional<std::uint64_t> file_size;
};

// Runs `program` with `arguments` (argv[0] is the program) in `directory`.
[[nodiscard]] program_result run_program(const std::string& program, const std::vector<std::string>& arguments,
                                         const std::filesystem::path& directory, program_limits limits = {});

[[nodiscard]] std::vector<std::uint8_t> read_bytes(const std::filesystem::path& file);

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
