#include "disc_rip.hpp"
#include "file_streams.hpp"
#include "folder_files.hpp"
#include "platform.hpp"
#include "stdout_console.hpp"

#include <thread>

int main(int argc, char** argv)
{
    ignore_broken_pipes();
    const std::vector<std::string> arguments = command_line_arguments(argc, argv);
    stdout_console messages;
    disk_files files;
    disk_folders folders;
    system_interrupts stop_requests;
    stderr_console terminal;
    const run_outcome outcome = run_discrip(
        std::span{arguments}.subspan(std::min<std::size_t>(1, arguments.size())), std::thread::hardware_concurrency(),
        messages, standard_error_is_terminal() ? &terminal : nullptr, files, folders, stop_requests);
    if (outcome == run_outcome::interrupted) {
        messages.flush();
        end_by_interrupt();
    }
    return exit_status(outcome);
}
