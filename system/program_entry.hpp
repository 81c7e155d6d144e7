#pragma once

#include "conversion_run.hpp"

// A program's whole run on the system it runs on: the command line as the
// system hands it over, standard output, the disk and the user's interrupts.
// Returns the exit status; an interrupted run instead ends the process by the
// interrupt, once its files are closed and its messages out.
[[nodiscard]] int run_conversion(const converter_profile& profile, int argc, const char* const* argv);
