// Runs the programs under test as child processes, on Windows.
#include "programs.hpp"

#include "wide_text.hpp"

#include <gtest/gtest.h>

#include <windows.h>

#include <array>
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
};

running_program::running_program(const std::string& program, const std::vector<std::string>& arguments,
                                 const std::filesystem::path& directory, program_options options)
    : child_{std::make_unique<child>()}
{
    child_->program = program;
    child_->errors_file = directory / ".stderr";
    if (options.file_size || options.output_closed || options.ignored_signal != 0) {
        ADD_FAILURE() << "file-size limits, closed pipes and ignored signals are set up on POSIX only";
        return;
    }
    std::wstring command_line;
    for (const std::string& argument : arguments) {
        command_line += (command_line.empty() ? L"" : L" ") + quoted(wide(argument));
    }
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
    // Standard error goes to a file, so that neither pipe can fill up while
    // the other is drained.
    const handle errors{::CreateFileW(child_->errors_file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)};

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = write_end;
    startup.hStdError = errors.get();
    PROCESS_INFORMATION started{};
    const std::wstring application = wide(program);
    const std::wstring folder = directory.wstring();
    if (errors.get() == INVALID_HANDLE_VALUE ||
        ::CreateProcessW(application.c_str(), command_line.data(), nullptr, nullptr, TRUE, CREATE_NEW_PROCESS_GROUP,
                         nullptr, folder.c_str(), &startup, &started) == 0) {
        ADD_FAILURE() << "cannot run " << program;
        return;
    }
    child_->process.reset(started.hProcess);
    ::CloseHandle(started.hThread);
    child_->id = started.dwProcessId;
}

running_program::~running_program()
{
    if (child_->process && !has_ended()) {
        [[maybe_unused]] const program_result ignored = wait();
    }
}

bool running_program::interrupt(int /*signal*/)
{
    return ::GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, child_->id) != 0;
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
