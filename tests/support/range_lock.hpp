#pragma once

#include <cstdint>
#include <string>

// An exclusive byte-range lock that this process holds on a file, so that the
// programs' reads and writes in the range fail, as they do on a damaged disk
// or a full one. `enforced` tells whether the system really refuses other
// handles' reads and writes there, which Windows does and Wine does not.
// Windows only: POSIX locks are advisory, so there is no such thing there.
class range_lock {
public:
    range_lock(const std::string& file, std::uint64_t offset, std::uint64_t length);
    range_lock(const range_lock&) = delete;
    range_lock& operator=(const range_lock&) = delete;
    ~range_lock();

    bool enforced = false;

private:
    void* handle_ = nullptr;
};
