#pragma once

#include <cstdint>
#include <string>

// How the disc reader fails, everywhere in it: a step that can fail gives
// the reason as text, empty when it did not fail, and a result carries it
// as `error`, empty beside a result that holds. The limits in the reasons
// come from the constants, written as people write counts.
[[nodiscard]] inline std::string count_text(std::uint64_t count)
{
    std::string digits = std::to_string(count);
    for (std::size_t at = digits.size(); at > 3; at -= 3) {
        digits.insert(at - 3, ",");
    }
    return digits;
}
