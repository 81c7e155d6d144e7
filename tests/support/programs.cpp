#include "programs.hpp"

#include "wav_output.hpp"

#include <gtest/gtest.h>

#include <array>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

temp_dir::temp_dir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "rippers-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        ADD_FAILURE() << "cannot make a temporary directory";
    }
    path_ = pattern;
}

temp_dir::~temp_dir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

namespace {

std::string drain(int descriptor)
{
    std::string text;
    std::array<char, 4096> buffer{};
    for (;;) {
        const ssize_t got = ::read(descriptor, buffer.data(), buffer.size());
        if (got <= 0) {
            break;
        }
        text.append(buffer.data(), static_cast<std::size_t>(got));
    }
    ::close(descriptor);
    return text;
}

[[noreturn]] void start_child(const std::string& program, const std::vector<std::string>& arguments,
                              const std::filesystem::path& directory, program_limits limits, int output, int errors)
{
    if (::dup2(output, STDOUT_FILENO) < 0 || ::dup2(errors, STDERR_FILENO) < 0 || ::chdir(directory.c_str()) != 0) {
        ::_exit(126);
    }
    if (limits.file_size) {
        const rlimit limit{*limits.file_size, *limits.file_size};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0 || std::signal(SIGXFSZ, SIG_IGN) == SIG_ERR) {
            ::_exit(126);
        }
    }
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
}

} // namespace

program_result run_program(const std::string& program, const std::vector<std::string>& arguments,
                           const std::filesystem::path& directory, program_limits limits)
{
    // Standard error goes to a file, so that neither pipe can fill up while
    // the other is drained.
    std::array<int, 2> output{};
    const std::filesystem::path errors_file = directory / ".stderr";
    const int errors = ::open(errors_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (::pipe(output.data()) != 0 || errors < 0) {
        ADD_FAILURE() << "cannot set up the child's output";
        return {-1, {}, {}};
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(output[0]);
        start_child(program, arguments, directory, limits, output[1], errors);
    }
    ::close(output[1]);
    ::close(errors);
    program_result result{-1, drain(output[0]), {}};
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child) {
        ADD_FAILURE() << "cannot run " << program;
        return result;
    }
    result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    const std::vector<std::uint8_t> error_bytes = read_bytes(errors_file);
    result.errors.assign(error_bytes.begin(), error_bytes.end());
    std::filesystem::remove(errors_file);
    return result;
}

std::vector<std::uint8_t> read_bytes(const std::filesystem::path& file)
{
    std::ifstream in{file, std::ios::binary};
    return {std::istreambuf_iterator<char>{in}, std::istreambuf_iterator<char>{}};
}

wav_contents parse_wav(const std::vector<std::uint8_t>& file)
{
    wav_contents wav{};
    if (file.size() < wav_header_bytes) {
        ADD_FAILURE() << "a WAV file of " << file.size() << " bytes";
        return wav;
    }
    auto le32 = [&](std::size_t offset) {
        return std::uint32_t{file[offset]} | std::uint32_t{file[offset + 1]} << 8U |
               std::uint32_t{file[offset + 2]} << 16U | std::uint32_t{file[offset + 3]} << 24U;
    };
    const sample_rate rate = le32(24) == 11025 ? sample_rate::hz11025 : sample_rate::hz22050;
    wav_header fixed = make_wav_header(rate);
    std::vector<std::uint8_t> header(file.begin(), file.begin() + wav_header_bytes);
    for (const std::size_t offset : {riff_size_offset, sample_count_offset, data_size_offset}) {
        std::copy_n(header.begin() + static_cast<std::ptrdiff_t>(offset), 4,
                    fixed.begin() + static_cast<std::ptrdiff_t>(offset));
    }
    EXPECT_EQ(header, std::vector<std::uint8_t>(fixed.begin(), fixed.end()));
    wav = {le32(4), le32(24), le32(28), le32(46), le32(54), {}};
    for (std::size_t i = wav_header_bytes; i + 1 < file.size(); i += 2) {
        wav.samples.push_back(static_cast<std::int16_t>(file[i] | file[i + 1] << 8U));
    }
    return wav;
}
