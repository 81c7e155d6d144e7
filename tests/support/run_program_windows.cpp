// Runs the programs under test as child processes, on Windows.
#include "programs.hpp"

#include "wide_text.hpp"

#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <cstdlib>
#include <memory>

namespace {

std::wstring wide(std::string_view utf8)
{
    const std::u16string text = utf16_from_wtf8(utf8);
    return {text.begin(), text.end()};
}

// One argument as CommandLineToArgvW reads it back: quoted when it is empty
// or holds blanks or quotes, with the backslashes before a quote doubled.
std::wstring quoted(const std::wstring& argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        return argument;
    }
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t character : argument) {
        if (character == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(character == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        out.push_back(character);
        backslashes = 0;
    }
    out.append(2 * backslashes, L'\\');
    out.push_back(L'"');
    return out;
}

struct handle_closer {
    void operator()(HANDLE handle) const { ::CloseHandle(handle); }
};
using handle = std::unique_ptr<void, handle_closer>;

std::string drain(HANDLE pipe)
{
    std::string text;
    std::array<char, 4096> buffer{};
    DWORD got = 0;
    while (::ReadFile(pipe, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) != 0 && got > 0) {
        text.append(buffer.data(), got);
    }
    return text;
}

} // namespace

std::filesystem::path executable_directory()
{
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (length < name.size()) {
            name.resize(length);
            return std::filesystem::path{name}.parent_path();
        }
        name.resize(2 * name.size());
    }
}

struct running_program::child {
    std::string program;
    std::filesystem::path errors_file;
    handle process;
    handle output;
    DWORD id = 0;
    bool own_console = false;
};

running_program::running_program(const std::string& program, const std::vector<std::string>& arguments,
                                 const std::filesystem::path& directory, program_options options)
    : child_{std::make_unique<child>()}
{
    child_->program = program;
    child_->errors_file = directory / ".stderr";
    child_->own_console = options.own_console;
    if (options.file_size || options.output_closed || options.ignored_signal != 0) {
        ADD_FAILURE() << "file-size limits, closed pipes and ignored signals are set up on POSIX only";
        return;
    }
    std::wstring command_line;
    for (const std::string& argument : arguments) {
        command_line += (command_line.empty() ? L"" : L" ") + quoted(wide(argument));
    }
    const std::wstring application = wide(program);
    const std::wstring folder = directory.wstring();
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    if (options.own_console) {
        if (::CreateProcessW(application.c_str(), command_line.data(), nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE,
                             nullptr, folder.c_str(), &startup, &started) == 0) {
            ADD_FAILURE() << "cannot run " << program << " in a console of its own";
            return;
        }
    } else {
        SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        HANDLE read_end = nullptr;
        HANDLE write_end = nullptr;
        if (::CreatePipe(&read_end, &write_end, &inherited, 0) == 0) {
            ADD_FAILURE() << "cannot make a pipe";
            return;
        }
        child_->output.reset(read_end);
        const handle child_output{write_end};
        ::SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
        // Standard error goes to a file, so that neither pipe can fill up
        // while the other is drained.
        const handle errors{::CreateFileW(child_->errors_file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited,
                                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)};
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = write_end;
        startup.hStdError = errors.get();
        if (errors.get() == INVALID_HANDLE_VALUE ||
            ::CreateProcessW(application.c_str(), command_line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                             folder.c_str(), &startup, &started) == 0) {
            ADD_FAILURE() << "cannot run " << program;
            return;
        }
    }
    child_->process.reset(started.hProcess);
    ::CloseHandle(started.hThread);
    child_->id = started.dwProcessId;
}

running_program::~running_program()
{
    if (child_->process && !has_ended()) {
        // A program left waiting in a window of its own waits for good.
        if (child_->own_console) {
            ::TerminateProcess(child_->process.get(), 1);
        }
        [[maybe_unused]] const program_result ignored = wait();
    }
}

bool running_program::interrupt(int /*signal*/)
{
    ADD_FAILURE() << "signals are sent on POSIX only";
    return false;
}

bool running_program::has_ended()
{
    return child_->process && ::WaitForSingleObject(child_->process.get(), 0) == WAIT_OBJECT_0;
}

program_result running_program::wait()
{
    program_result result{-1, child_->output ? drain(child_->output.get()) : std::string{}, {}};
    child_->output.reset();
    DWORD status = 0;
    if (!child_->process || ::WaitForSingleObject(child_->process.get(), INFINITE) != WAIT_OBJECT_0 ||
        ::GetExitCodeProcess(child_->process.get(), &status) == 0) {
        ADD_FAILURE() << "cannot wait for " << child_->program;
        return result;
    }
    result.exit_status = static_cast<int>(status);
    result.errors = take_error_output(child_->errors_file);
    return result;
}

namespace {

// This process on the program's console for as long as it lives: a process
// has one console at the most.
class attached_console {
public:
    explicit attached_console(DWORD process)
    {
        ::FreeConsole();
        attached = ::AttachConsole(process) != 0;
    }
    attached_console(const attached_console&) = delete;
    attached_console& operator=(const attached_console&) = delete;
    ~attached_console() { ::FreeConsole(); }

    bool attached;
};

handle open_console(const wchar_t* name)
{
    const HANDLE opened = ::CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
    return handle{opened == INVALID_HANDLE_VALUE ? nullptr : opened};
}

} // namespace

std::string running_program::console_text()
{
    const attached_console console{child_->id};
    const handle screen = open_console(L"CONOUT$");
    CONSOLE_SCREEN_BUFFER_INFO shown{};
    if (!console.attached || !screen || ::GetConsoleScreenBufferInfo(screen.get(), &shown) == 0) {
        return {};
    }
    std::string text;
    std::u16string row(static_cast<std::size_t>(shown.dwSize.X), u' ');
    for (SHORT y = 0; y <= shown.dwCursorPosition.Y; ++y) {
        DWORD got = 0;
        if (::ReadConsoleOutputCharacterW(screen.get(), reinterpret_cast<wchar_t*>(row.data()),
                                          static_cast<DWORD>(row.size()), COORD{0, y}, &got) == 0) {
            break;
        }
        const std::u16string_view line = std::u16string_view{row}.substr(0, got);
        text += wtf8_from_utf16(line.substr(0, line.find_last_not_of(u' ') + 1)) + "\n";
    }
    return text;
}

bool running_program::press(key pressed)
{
    const attached_console console{child_->id};
    if (!console.attached) {
        return false;
    }
    if (pressed == key::ctrl_c) {
        // Sent to every process on the console, this one aside.
        ::SetConsoleCtrlHandler(nullptr, TRUE);
        const bool sent = ::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) != 0;
        ::SetConsoleCtrlHandler(nullptr, FALSE);
        return sent;
    }
    const handle keyboard = open_console(L"CONIN$");
    std::array<INPUT_RECORD, 2> keys{};
    for (std::size_t i = 0; i < keys.size(); ++i) {
        keys[i].EventType = KEY_EVENT;
        keys[i].Event.KeyEvent.bKeyDown = i == 0 ? TRUE : FALSE;
        keys[i].Event.KeyEvent.wRepeatCount = 1;
        keys[i].Event.KeyEvent.wVirtualKeyCode = VK_RETURN;
        keys[i].Event.KeyEvent.uChar.UnicodeChar = L'\r';
    }
    DWORD written = 0;
    return keyboard &&
           ::WriteConsoleInputW(keyboard.get(), keys.data(), static_cast<DWORD>(keys.size()), &written) != 0 &&
           written == keys.size();
}

// Wine makes a console window of a program's own only on a display.
std::optional<std::string> no_console_window()
{
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    if (::GetProcAddress(ntdll, "wine_get_version") != nullptr && std::getenv("DISPLAY") == nullptr) {
        return "Wine makes a console window of a program's own only on a display (run under xvfb-run)";
    }
    return std::nullopt;
}
