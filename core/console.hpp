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

// The programs' console. The messages are a report on the conversion, not its
// product: a console that has gone away (a closed pipe, a full disk behind a
// redirection) must not cost the user a WAV file that is otherwise complete, so
// a failed message write is deliberately not an outcome of the run.
class stdout_console final : public console {
public:
    void print(std::string_view text) override;
    // Before the process ends other than by returning from main.
    void flush();
};
