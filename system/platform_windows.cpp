#include "platform.hpp"

#include "wide_text.hpp"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

// shellapi.h needs what windows.h defines.
#include <shellapi.h>

#include <array>
#include <atomic>
#include <memory>

namespace {

std::wstring wide(const std::u16string& text)
{
    return {text.begin(), text.end()};
}

std::u16string utf16(std::wstring_view text)
{
    return {text.begin(), text.end()};
}

struct local_free {
    void operator()(LPWSTR* pointer) const { ::LocalFree(pointer); }
};

// How standard output is written, settled once: through the console's UTF-16
// interface when it is a console, otherwise as bytes in binary mode, so that
// each "\r\n" stays as it is instead of becoming "\r\r\n".
HANDLE console_output()
{
    static const HANDLE console = [] {
        const HANDLE handle = ::GetStdHandle(STD_OUTPUT_HANDLE);
        DWORD mode = 0;
        if (handle != INVALID_HANDLE_VALUE && handle != nullptr && ::GetFileType(handle) == FILE_TYPE_CHAR &&
            ::GetConsoleMode(handle, &mode) != 0) {
            return handle;
        }
        [[maybe_unused]] const int previous = ::_setmode(::_fileno(stdout), _O_BINARY);
        return HANDLE{nullptr};
    }();
    return console;
}

} // namespace

std::vector<std::string> command_line_arguments(int argc, const char* const* argv)
{
    int count = 0;
    const std::unique_ptr<LPWSTR, local_free> arguments{::CommandLineToArgvW(::GetCommandLineW(), &count)};
    if (!arguments) {
        return {argv, argv + argc};
    }
    std::vector<std::string> utf8;
    for (int i = 0; i < count; ++i) {
        utf8.push_back(wtf8_from_utf16(utf16(arguments.get()[i])));
    }
    return utf8;
}

std::filesystem::path native_path(const std::string& path)
{
    const std::wstring typed = wide(utf16_from_wtf8(path));
    const DWORD needed = ::GetFullPathNameW(typed.c_str(), 0, nullptr, nullptr);
    if (typed.empty() || needed == 0) {
        return typed;
    }
    std::wstring full(needed, L'\0');
    const DWORD length = ::GetFullPathNameW(typed.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) {
        return typed;
    }
    full.resize(length);
    return wide(extended_length_path(utf16(full)));
}

bool names_directory(const std::filesystem::path& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::optional<path_facts> facts_of(const std::filesystem::path& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) == 0) {
        return std::nullopt;
    }
    const bool folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const bool device = (data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) != 0;
    const std::uint64_t size = (std::uint64_t{data.nFileSizeHigh} << 32U) | data.nFileSizeLow;
    return path_facts{folder, !folder && !device, folder ? 0 : size};
}

namespace {

struct handle_closer {
    void operator()(HANDLE handle) const { ::CloseHandle(handle); }
};
using file_handle = std::unique_ptr<void, handle_closer>;

// Opens what the path leads to, following links, without reading or
// writing; null on failure.
file_handle open_for_query(const std::filesystem::path& path, DWORD access, DWORD flags)
{
    const HANDLE handle = ::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
    return file_handle{handle == INVALID_HANDLE_VALUE ? nullptr : handle};
}

} // namespace

bool name_same_file(const std::filesystem::path& first, const std::filesystem::path& second)
{
    const file_handle one = open_for_query(first, 0, 0);
    const file_handle other = open_for_query(second, 0, 0);
    BY_HANDLE_FILE_INFORMATION a{};
    BY_HANDLE_FILE_INFORMATION b{};
    return one && other && ::GetFileInformationByHandle(one.get(), &a) != 0 &&
           ::GetFileInformationByHandle(other.get(), &b) != 0 && a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

void remove_written_file(const std::filesystem::path& path)
{
    // Opened through any link, the file itself is what closing the handle
    // deletes; the handle is let go at once unless it is a regular file.
    const file_handle file = open_for_query(path, DELETE | FILE_READ_ATTRIBUTES, 0);
    BY_HANDLE_FILE_INFORMATION information{};
    if (!file || ::GetFileType(file.get()) != FILE_TYPE_DISK ||
        ::GetFileInformationByHandle(file.get(), &information) == 0 ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return;
    }
    FILE_DISPOSITION_INFO disposition{TRUE};
    [[maybe_unused]] const BOOL ignored =
        ::SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition, sizeof(disposition));
}

std::FILE* open_file(const std::filesystem::path& path, file_access access)
{
    return ::_wfopen(path.c_str(), access == file_access::read ? L"rb" : L"wb");
}

bool seek_file(std::FILE* file, std::int64_t offset)
{
    return ::_fseeki64(file, offset, SEEK_SET) == 0;
}

std::int64_t tell_file(std::FILE* file)
{
    return ::_ftelli64(file);
}

namespace {

std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

// Set once the watched run has closed its files, or while no run is watched.
const HANDLE files_closed = ::CreateEventW(nullptr, TRUE, TRUE, nullptr);

BOOL WINAPI on_console_event(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        // Only the first is caught; the next falls to the default handler,
        // which ends the process at once.
        return interrupted.exchange(true) ? FALSE : TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        // Windows ends the process as soon as this returns, so the run gets
        // a few seconds to finish its files first.
        interrupted = true;
        ::WaitForSingleObject(files_closed, 4000);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

// The console's control handler runs on a thread of its own and cannot cut
// a read short, so the flag is looked at before each read.
input_read read_input(std::FILE* file, std::span<std::uint8_t> into)
{
    if (interrupted) {
        return {fetch_status::interrupted, 0};
    }
    const std::size_t got = std::fread(into.data(), 1, into.size(), file);
    if (got == 0 && std::ferror(file) != 0) {
        return {interrupted ? fetch_status::interrupted : fetch_status::failed, 0};
    }
    return {fetch_status::ok, got};
}

bool skip_input(std::FILE* file, std::int64_t count)
{
    return ::_fseeki64(file, count, SEEK_CUR) == 0;
}

void system_interrupts::begin_watch()
{
    ::ResetEvent(files_closed);
    ::SetConsoleCtrlHandler(on_console_event, TRUE);
}

void system_interrupts::end_watch()
{
    ::SetConsoleCtrlHandler(on_console_event, FALSE);
    ::SetEvent(files_closed);
}

bool system_interrupts::received() const
{
    return interrupted;
}

void end_by_interrupt()
{
    if (interrupted) {
        ::ExitProcess(STATUS_CONTROL_C_EXIT);
    }
}

void ignore_broken_pipes()
{
    // Windows has no SIGPIPE: a write to a closed pipe simply fails.
}

console_start read_console_start()
{
    std::array<DWORD, 2> processes{};
    const DWORD attached = ::GetConsoleProcessList(processes.data(), static_cast<DWORD>(processes.size()));
    DWORD mode = 0;
    return {attached, ::GetConsoleMode(::GetStdHandle(STD_INPUT_HANDLE), &mode) != 0,
            ::GetConsoleMode(::GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0};
}

namespace {

std::atomic<UINT> status_on_close{0};

BOOL WINAPI end_wait(DWORD /*event*/)
{
    ::ExitProcess(status_on_close);
}

} // namespace

void wait_for_enter(std::string_view prompt, int status)
{
    status_on_close = static_cast<UINT>(status);
    ::SetConsoleCtrlHandler(end_wait, TRUE);
    const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    ::FlushConsoleInputBuffer(input);
    [[maybe_unused]] const bool shown = write_standard_output(prompt);
    for (;;) {
        INPUT_RECORD record{};
        DWORD got = 0;
        if (::ReadConsoleInputW(input, &record, 1, &got) == 0 || got == 0) {
            return;
        }
        if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown != 0 &&
            record.Event.KeyEvent.wVirtualKeyCode == VK_RETURN) {
            return;
        }
    }
}

bool write_standard_output(std::string_view text)
{
    const HANDLE console = console_output();
    if (console == nullptr) {
        return std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    }
    const std::wstring shown = wide(utf16_from_wtf8(text));
    DWORD written = 0;
    return ::WriteConsoleW(console, shown.data(), static_cast<DWORD>(shown.size()), &written, nullptr) != 0 &&
           written == shown.size();
}

bool standard_error_is_terminal()
{
    return _isatty(_fileno(stderr)) != 0;
}

bool write_standard_error(std::string_view text)
{
    return std::fwrite(text.data(), 1, text.size(), stderr) == text.size();
}
