#include "platform.hpp"

#include <array>
#include <csignal>
#include <cstdlib>
#include <signal.h>
#include <sys/types.h>

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

bool seek_file(std::FILE* file, std::int64_t offset, int origin)
{
    return ::fseeko(file, static_cast<off_t>(offset), origin) == 0;
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

} // namespace

void watch_interrupts()
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

void stop_watching_interrupts()
{
    for (std::size_t i = 0; i < watched_signals.size(); ++i) {
        if (watch_state[i].installed) {
            ::sigaction(watched_signals[i], &watch_state[i].previous, nullptr);
            watch_state[i].installed = false;
        }
    }
}

bool interrupt_received()
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

bool write_standard_output(std::string_view text)
{
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
}
