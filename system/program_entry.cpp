#include "program_entry.hpp"

#include "file_streams.hpp"
#include "stdout_console.hpp"

#include <string>
#include <vector>

namespace {

bool window_of_its_own(const console_start& start)
{
    return start.attached_processes == 1 && start.input_is_console && start.output_is_console;
}

} // namespace

int program_entry(int argc, const char* const* argv, const program_run& run)
{
    // Read first: whether the program has its console to itself is a fact
    // of how it was started.
    const console_start started = read_console_start();
    ignore_broken_pipes();
    const std::vector<std::string> arguments = command_line_arguments(argc, argv);
    stdout_console messages;
    disk_files files;
    system_interrupts stop_requests;
    const run_outcome outcome = run(arguments, messages, files, stop_requests, window_of_its_own(started));
    if (outcome == run_outcome::interrupted) {
        messages.flush();
        end_by_interrupt();
    }
    const int status = exit_status(outcome);
    if (keeps_window_open(started, outcome)) {
        wait_for_enter("Press Enter to close this window.\r\n", status);
    }
    return status;
}

int program_entry(const converter_profile& profile, int argc, const char* const* argv)
{
    return program_entry(argc, argv,
                         [&profile](std::span<const std::string> arguments, console& messages, file_system& files,
                                    interrupts& stop_requests, bool) {
                             return run_conversion(profile, arguments, messages, files, stop_requests);
                         });
}

bool keeps_window_open(const console_start& start, run_outcome outcome)
{
    return window_of_its_own(start) && outcome != run_outcome::interrupted;
}
