#pragma once

#include "conversion_run.hpp"
#include "platform.hpp"

#include <functional>

// What a program does once the system has handed it its command line (the
// program's own name first), standard output, the disk and the user's
// interrupts. `window_of_its_own` says that it was started alone in a
// console window that closes with it: from Explorer, or by a file dropped on
// it there.
using program_run = std::function<run_outcome(std::span<const std::string> arguments, console& messages,
                                              file_system& files, interrupts& stop_requests, bool window_of_its_own)>;

// A program's whole run on the system it runs on. Returns the exit status; an
// interrupted run instead ends the process by the interrupt, once its files
// are closed and its messages out.
[[nodiscard]] int program_entry(int argc, const char* const* argv, const program_run& run);
// The run of a converter with `profile`.
[[nodiscard]] int program_entry(const converter_profile& profile, int argc, const char* const* argv);

// Whether the run's console window stays open for its messages to be read:
// only where the program has it to itself, with standard input and output on
// it (a double-click on the .exe, or a file dropped on it), and only after a
// run that was not interrupted. In a command prompt, a script, a redirection
// or a pipe nothing changes.
[[nodiscard]] bool keeps_window_open(const console_start& start, run_outcome outcome);
