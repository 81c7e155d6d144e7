// Runs the programs under test as child processes, on POSIX systems.
#include "programs.hpp"

#include <gtest/gtest.h>

#include <array>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

std::filesystem::path executable_directory()
{
    return std::filesystem::read_symlink("/proc/self/exe").parent_path();
}

namespace {

// Where the tests run under an emulator (a cross build's), the programs do
// too.
const std::vector<const char*> program_emulator{PROGRAM_EMULATOR};

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
                              const std::filesystem::path& directory, program_options options, int output, int errors)
{
    if (::dup2(output, STDOUT_FILENO) < 0 || ::dup2(errors, STDERR_FILENO) < 0 || ::chdir(directory.c_str()) != 0) {
        ::_exit(126);
    }
    if (options.file_size) {
        const rlimit limit{*options.file_size, *options.file_size};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0 || std::signal(SIGXFSZ, SIG_IGN) == SIG_ERR) {
            ::_exit(126);
        }
    }
    if (options.ignored_signal != 0 && std::signal(options.ignored_signal, SIG_IGN) == SIG_ERR) {
        ::_exit(126);
    }
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    if (program_emulator.empty()) {
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    // The emulator takes the program's path, then its arguments after the
    // first (which the programs never look at).
    std::vector<char*> emulated;
    for (const char* word : program_emulator) {
        emulated.push_back(const_cast<char*>(word));
    }
    emulated.push_back(const_cast<char*>(program.c_str()));
    emulated.insert(emulated.end(), argv.begin() + 1, argv.end());
    ::execvp(emulated[0], emulated.data());
    ::_exit(127);
}

} // namespace

struct running_program::child {
    std::string program;
    std::filesystem::path errors_file;
    pid_t pid = -1;
    int output = -1;
    std::optional<int> status;
};

running_program::running_program(const std::string& program, const std::vector<std::string>& arguments,
                                 const std::filesystem::path& directory, program_options options)
    : child_{std::make_unique<child>()}
{
    child_->program = program;
    child_->errors_file = directory / ".stderr";
    if (options.own_console) {
        ADD_FAILURE() << "a console window of the program's own is a Windows thing";
        return;
    }
    // Standard error goes to a file, so that neither pipe can fill up while
    // the other is drained. Nothing of this process's leaks into the child:
    // a test's open descriptors (a FIFO's writing end, say) would keep the
    // child from ever seeing an end.
    std::array<int, 2> output{};
    const int errors = ::open(child_->errors_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (::pipe2(output.data(), O_CLOEXEC) != 0 || errors < 0) {
        ADD_FAILURE() << "cannot set up the child's output";
        return;
    }
    if (options.output_closed) {
        ::close(output[0]);
        output[0] = -1;
    }
    child_->pid = ::fork();
    if (child_->pid == 0) {
        start_child(program, arguments, directory, options, output[1], errors);
    }
    ::close(output[1]);
    ::close(errors);
    child_->output = output[0];
    if (child_->pid < 0) {
        ADD_FAILURE() << "cannot start " << program;
    }
}

running_program::~running_program()
{
    if (child_->pid > 0 && !child_->status) {
        [[maybe_unused]] const program_result ignored = wait();
    }
}

bool running_program::interrupt(int signal)
{
    return ::kill(child_->pid, signal) == 0;
}

bool running_program::has_ended()
{
    int status = 0;
    if (!child_->status && child_->pid > 0 && ::waitpid(child_->pid, &status, WNOHANG) == child_->pid) {
        child_->status = status;
    }
    return child_->status.has_value();
}

program_result running_program::wait()
{
    program_result result{-1, child_->output >= 0 ? drain(child_->output) : std::string{}, {}};
    child_->output = -1;
    int status = 0;
    if (!child_->status && (child_->pid <= 0 || ::waitpid(child_->pid, &status, 0) != child_->pid)) {
        ADD_FAILURE() << "cannot run " << child_->program;
        return result;
    }
    if (!child_->status) {
        child_->status = status;
    }
    if (WIFSIGNALED(*child_->status)) {
        result.end_signal = WTERMSIG(*child_->status);
        result.exit_status = 128 + result.end_signal;
    } else {
        result.exit_status = WEXITSTATUS(*child_->status);
    }
    result.errors = take_error_output(child_->errors_file);
    return result;
}

std::string running_program::console_text()
{
    ADD_FAILURE() << "a console window of the program's own is a Windows thing";
    return {};
}

bool running_program::press(key /*pressed*/)
{
    return false;
}

std::optional<std::string> no_console_window()
{
    return "a console window of a program's own is Windows'";
}
