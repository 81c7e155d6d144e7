#include "stdout_console.hpp"

#include "platform.hpp"

#include <cstdio>

void stdout_console::print(std::string_view text)
{
    // Best effort by design (see the class comment): a short write is not an
    // outcome of the run.
    [[maybe_unused]] const bool written = write_standard_output(text);
}

void stdout_console::flush()
{
    [[maybe_unused]] const int flushed = std::fflush(stdout);
}

void stderr_console::print(std::string_view text)
{
    [[maybe_unused]] const bool written = write_standard_error(text);
}
