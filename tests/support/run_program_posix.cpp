// Runs the programs under test as child processes, on POSIX systems.
#include "programs.hpp"

#include <gtest/gtest.h>

#include <array>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

bool make_symlink(const std::string& target, const std::string& link)
{
    std::error_code error;
    std::filesystem::create_symlink(target, link, error);
    return !error;
}

range_lock::range_lock(const std::string& /*file*/, std::uint64_t /*offset*/, std::uint64_t /*length*/) {}

range_lock::~range_lock() = default;

std::filesystem::path executable_directory()
{
    return std::filesystem::read_symlink("/proc/self/exe").parent_path();
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
    const std::vector<std::uint8_t> error_bytes = read_bytes(errors_file.string());
    result.errors.assign(error_bytes.begin(), error_bytes.end());
    std::filesystem::remove(errors_file);
    return result;
}

