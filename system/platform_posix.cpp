#include "platform.hpp"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <signal.h>
#include <sys/select.h>
#include <sys/types.h>
#include <unistd.h>

static_assert(sizeof(off_t) >= sizeof(std::int64_t), "file positions need a 64-bit off_t");

std::vector<std::string> command_line_arguments(int argc, const char* const* argv)
{
    return {argv, argv + argc};
}

std::filesystem::path native_path(const std::string& path)
{
    return path;
}

bool names_directory(const std::filesystem::path& path)
{
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}

std::optional<path_facts> facts_of(const std::filesystem::path& path)
{
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    // A link to nothing is neither file nor folder, as a file chooser sees it.
    if (error && status.type() != std::filesystem::file_type::not_found) {
        return std::nullopt;
    }
    const bool regular = std::filesystem::is_regular_file(status);
    std::error_code size_error;
    const std::uint64_t size = regular ? std::filesystem::file_size(path, size_error) : 0;
    if (size_error) {
        return std::nullopt;
    }
    return path_facts{std::filesystem::is_directory(status), regular, size};
}

bool name_same_file(const std::filesystem::path& first, const std::filesystem::path& second)
{
    std::error_code error;
    return std::filesystem::equivalent(first, second, error);
}

void remove_written_file(const std::filesystem::path& path)
{
    std::error_code error;
    const std::filesystem::path written = std::filesystem::canonical(path, error);
    if (!error && std::filesystem::is_regular_file(written, error)) {
        std::filesystem::remove(written, error);
    }
}

std::FILE* open_file(const std::filesystem::path& path, file_access access)
{
    return std::fopen(path.c_str(), access == file_access::read ? "rb" : "wb");
}

bool seek_file(std::FILE* file, std::int64_t offset)
{
    return ::fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

std::int64_t tell_file(std::FILE* file)
{
    return ::ftello(file);
}

namespace {

constexpr std::array<int, 3> watched_signals{SIGINT, SIGTERM, SIGHUP};

volatile std::sig_atomic_t received_signal = 0;

struct watched_signal {
    bool installed;
    struct sigaction previous;
};
std::array<watched_signal, watched_signals.size()> watch_state{};

void set_default_action(int signal)
{
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
}

extern "C" void on_interrupt(int signal)
{
    received_signal = signal;
    // Only the first signal is caught: the next one, during the finish or
    // before, takes its default action.
    for (std::size_t i = 0; i < watched_signals.size(); ++i) {
        if (watch_state[i].installed) {
            set_default_action(watched_signals[i]);
        }
    }
}

// Waits with `during` as the signal mask, which pselect sets and clears
// atomically around the wait; macOS and the BSDs have it, unlike ppoll. A
// descriptor beyond what select can watch, which the programs never open, is
// read without waiting.
int wait_until_readable(int descriptor, const sigset_t& during)
{
    if (descriptor >= FD_SETSIZE) {
        return 1;
    }
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(descriptor, &readable);
    return ::pselect(descriptor + 1, &readable, nullptr, nullptr, nullptr, &during);
}

} // namespace

// The input goes through its descriptor, not through stdio, whose reads go
// on waiting after a signal has come once they have some bytes.
input_read read_input(std::FILE* file, std::span<std::uint8_t> into)
{
    const int descriptor = ::fileno(file);
    sigset_t watched{};
    sigemptyset(&watched);
    for (const int signal : watched_signals) {
        sigaddset(&watched, signal);
    }
    for (;;) {
        // With the signals held from the check to the wait, an interrupt has
        // either come before the check or ends the wait (pselect lets it in).
        sigset_t previous{};
        ::pthread_sigmask(SIG_BLOCK, &watched, &previous);
        if (received_signal != 0) {
            ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
            return {fetch_status::interrupted, 0};
        }
        const int ready = wait_until_readable(descriptor, previous);
        const int wait_error = errno;
        ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
        if (ready < 0) {
            if (wait_error == EINTR) {
                continue;
            }
            return {fetch_status::failed, 0};
        }
        const ssize_t got = ::read(descriptor, into.data(), into.size());
        if (got >= 0) {
            return {fetch_status::ok, static_cast<std::size_t>(got)};
        }
        if (errno != EINTR) {
            return {fetch_status::failed, 0};
        }
    }
}

bool skip_input(std::FILE* file, std::int64_t count)
{
    return ::lseek(::fileno(file), static_cast<off_t>(count), SEEK_CUR) >= 0;
}

void system_interrupts::begin_watch()
{
    for (std::size_t i = 0; i < watched_signals.size(); ++i) {
        watched_signal& watched = watch_state[i];
        if (::sigaction(watched_signals[i], nullptr, &watched.previous) != 0 ||
            watched.previous.sa_handler == SIG_IGN) {
            continue;
        }
        // Without SA_RESTART, so that a read blocked on a slow input returns.
        struct sigaction action {};
        action.sa_handler = on_interrupt;
        sigemptyset(&action.sa_mask);
        for (const int other : watched_signals) {
            sigaddset(&action.sa_mask, other);
        }
        watched.installed = ::sigaction(watched_signals[i], &action, nullptr) == 0;
    }
}

void system_interrupts::end_watch()
{
    for (std::size_t i = 0; i < watched_signals.size(); ++i) {
        if (watch_state[i].installed) {
            ::sigaction(watched_signals[i], &watch_state[i].previous, nullptr);
            watch_state[i].installed = false;
        }
    }
}

bool system_interrupts::received() const
{
    return received_signal != 0;
}

void end_by_interrupt()
{
    const int signal = received_signal;
    if (signal == 0) {
        return;
    }
    set_default_action(signal);
    sigset_t only{};
    sigemptyset(&only);
    sigaddset(&only, signal);
    ::sigprocmask(SIG_UNBLOCK, &only, nullptr);
    std::raise(signal);
    std::_Exit(128 + signal);
}

void ignore_broken_pipes()
{
    std::signal(SIGPIPE, SIG_IGN);
}

console_start read_console_start()
{
    return {0, false, false};
}

void wait_for_enter(std::string_view /*prompt*/, int /*status*/)
{
    // Never asked for: no POSIX program has a console window to itself.
}

bool write_standard_output(std::string_view text)
{
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
}

bool standard_error_is_terminal()
{
    return ::isatty(STDERR_FILENO) == 1;
}

bool write_standard_error(std::string_view text)
{
    return std::fwrite(text.data(), 1, text.size(), stderr) == text.size();
}
