#pragma once

#include <string_view>

// Where a run's message lines go: standard output for the programs, a string
// for in-process tests. Every line carries its own "\r\n".
class console {
public:
    console() = default;
    console(const console&) = delete;
    console& operator=(const console&) = delete;
    virtual ~console() = default;

    virtual void print(std::string_view text) = 0;
};
