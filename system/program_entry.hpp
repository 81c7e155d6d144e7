#pragma once

#include "conversion_run.hpp"
#include "platform.hpp"

// A program's whole run on the system it runs on: the command line as the
// system hands it over, standard output, the disk and the user's interrupts.
// Returns the exit status; an interrupted run instead ends the process by the
// interrupt, once its files are closed and its messages out.
[[nodiscard]] int program_entry(const converter_profile& profile, int argc, const char* const* argv);

// Whether the run's console window stays open for its messages to be read:
// only where the program has it to itself, with standard input and output on
// it (a double-click on the .exe, or a file dropped on it), and only after a
// run that was not interrupted. In a command prompt, a script, a redirection
// or a pipe nothing changes.
[[nodiscard]] bool keeps_window_open(const console_start& start, run_outcome outcome);
