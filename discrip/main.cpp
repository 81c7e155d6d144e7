#include "disc_rip.hpp"
#include "folder_files.hpp"
#include "program_entry.hpp"
#include "stdout_console.hpp"

#include <thread>

int main(int argc, char** argv)
{
    return program_entry(argc, argv,
                         [](std::span<const std::string> arguments, console& messages, file_system& files,
                            interrupts& stop_requests, bool window_of_its_own) {
                             disk_folders folders;
                             stderr_console terminal;
                             return run_discrip(
                                 arguments.subspan(std::min<std::size_t>(1, arguments.size())),
                                 {.cores = std::thread::hardware_concurrency(), .beside_inputs = window_of_its_own},
                                 messages, standard_error_is_terminal() ? &terminal : nullptr, files, folders,
                                 stop_requests);
                         });
}
