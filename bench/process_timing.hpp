#pragma once

// A program run as a whole process, timed: wall-clock and user seconds, its
// peak resident memory and the bytes it read; and the median of several such
// figures.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

struct measurement {
    double seconds;
    double user_seconds;
    double system_seconds;
    long peak_kib;
    long long bytes_read; // through read calls, as Linux counts them; -1 where it cannot say
};

// What /proc says the process `child` has read; it has ended, but is not yet
// reaped.
inline long long bytes_read_by(pid_t child)
{
    const std::string file = "/proc/" + std::to_string(child) + "/io";
    FILE* io = std::fopen(file.c_str(), "r");
    long long bytes = -1;
    if (io != nullptr) {
        if (std::fscanf(io, "rchar: %lld", &bytes) != 1) {
            bytes = -1;
        }
        static_cast<void>(std::fclose(io));
    }
    return bytes;
}

inline measurement run_once(const std::vector<std::string>& command)
{
    std::vector<char*> argv;
    for (const std::string& word : command) {
        argv.push_back(const_cast<char*>(word.c_str()));
    }
    argv.push_back(nullptr);
    // posix_spawn, not fork: a forked child would start with this process's
    // resident memory in its peak.
    posix_spawn_file_actions_t quiet{};
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t child = -1;
    const int spawned = ::posix_spawn(&child, argv[0], &quiet, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&quiet);
    int status = 0;
    rusage usage{};
    siginfo_t ended{};
    const bool waited = spawned == 0 && ::waitid(P_PID, static_cast<id_t>(child), &ended, WEXITED | WNOWAIT) == 0;
    const long long bytes = waited ? bytes_read_by(child) : -1;
    if (!waited || ::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "process_bench: %s failed\n", command[0].c_str());
        std::exit(1);
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    const double user = static_cast<double>(usage.ru_utime.tv_sec) + static_cast<double>(usage.ru_utime.tv_usec) / 1e6;
    const double system =
        static_cast<double>(usage.ru_stime.tv_sec) + static_cast<double>(usage.ru_stime.tv_usec) / 1e6;
    return {elapsed.count(), user, system, usage.ru_maxrss, bytes};
}

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// Each of two commands run `pairs` times, alternating which goes first so
// that neither always meets the page cache as the other left it;
// `after(first)` runs after each run, `first` saying whose it was (to remove
// its outputs, so that no run pays for truncating the last). Returns each
// pair's two measurements.
template <typename after_type>
std::vector<std::pair<measurement, measurement>> alternating_pairs(int pairs, const std::vector<std::string>& first,
                                                                   const std::vector<std::string>& second,
                                                                   after_type after)
{
    std::vector<std::pair<measurement, measurement>> measured(static_cast<std::size_t>(pairs));
    for (int pair = 0; pair < pairs; ++pair) {
        for (int turn = 0; turn < 2; ++turn) {
            const bool first_turn = (pair + turn) % 2 == 0;
            auto& into = measured[static_cast<std::size_t>(pair)];
            (first_turn ? into.first : into.second) = run_once(first_turn ? first : second);
            after(first_turn);
        }
    }
    return measured;
}
