#include "console.hpp"

#include <cstdio>

void stdout_console::print(std::string_view text)
{
    // Best effort by design (see the class comment): a short count is not an
    // outcome of the run.
    [[maybe_unused]] const std::size_t written = std::fwrite(text.data(), 1, text.size(), stdout);
}
