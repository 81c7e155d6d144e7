#pragma once

#include "console.hpp"

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

// A progress line on standard error, for a person at a terminal; best effort
// as above.
class stderr_console final : public console {
public:
    void print(std::string_view text) override;
};
