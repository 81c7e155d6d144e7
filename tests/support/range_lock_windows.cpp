// Byte-range locks, on Windows.
#include "range_lock.hpp"

#include "test_files.hpp"

#include <windows.h>

#include <memory>

namespace {

struct handle_closer {
    void operator()(HANDLE handle) const { ::CloseHandle(handle); }
};
using handle = std::unique_ptr<void, handle_closer>;

} // namespace

range_lock::range_lock(const std::string& file, std::uint64_t offset, std::uint64_t length)
{
    // The programs share their files for reading and writing, and remove a
    // failed output, so the lock's handle allows all three.
    const std::wstring name = utf8_path(file).wstring();
    auto open = [&name](DWORD disposition) {
        return ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, disposition,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    const HANDLE opened = open(OPEN_ALWAYS);
    if (opened == INVALID_HANDLE_VALUE) {
        return;
    }
    handle_ = opened;
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32U);
    if (::LockFileEx(opened, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, static_cast<DWORD>(length),
                     static_cast<DWORD>(length >> 32U), &at) == 0) {
        return;
    }
    // A second handle tries the locked range: by reading where the file has
    // bytes there, otherwise by writing, which only a lax system lets through.
    const handle probe{open(OPEN_EXISTING)};
    LARGE_INTEGER size{};
    char probe_byte = 0;
    DWORD moved = 0;
    OVERLAPPED probe_at = at;
    const bool has_bytes = ::GetFileSizeEx(opened, &size) != 0 && static_cast<std::uint64_t>(size.QuadPart) > offset;
    const BOOL passed = has_bytes ? ::ReadFile(probe.get(), &probe_byte, 1, &moved, &probe_at)
                                  : ::WriteFile(probe.get(), &probe_byte, 1, &moved, &probe_at);
    enforced = probe.get() != INVALID_HANDLE_VALUE && passed == 0 && ::GetLastError() == ERROR_LOCK_VIOLATION;
}

range_lock::~range_lock()
{
    if (handle_ != nullptr) {
        ::CloseHandle(handle_);
    }
}
