#pragma once

// discrip: every sound of disc images, folders and loose files, as the page
// gives it, into WAV files under the same paths, on several threads.
#include "conversion_run.hpp"
#include "folders.hpp"

#include <span>
#include <string>

inline constexpr std::string_view discrip_usage =
    "usage: discrip [-o FOLDER] [-j N] [-f] [--list] INPUT...\r\n"
    "Writes every sound of each INPUT (a disc image: .cue, .bin or .iso; a folder; or a file) as a WAV file\r\n"
    "under FOLDER (the current one), by the paths the page gives them.\r\n"
    "  -o FOLDER  where the WAV files go\r\n"
    "  -j N       how many files convert at once (the number of cores)\r\n"
    "  -f         overwrite WAV files that exist\r\n"
    "  --list     say what would be written and skipped, and write nothing\r\n"
    "Exit status: 0 all sound converted, 1 usage, 2 an input cannot be read, 3 the output folder cannot be\r\n"
    "made, 4 some files failed (the rest are done).\r\n";

// What a run takes from how the program was started.
struct rip_start {
    unsigned cores = 1; // the threads where -j is not given
    // Where -o is not given, the outputs go into the folder that holds the
    // first input rather than the current one: an image dropped on the
    // program in Explorer gives its sound beside it.
    bool beside_inputs = false;
};

// A whole run: `arguments` without the program's own name. Files come and go
// through `files` and `folders`; each output's messages are printed whole,
// in path order. Where `progress` is given (a terminal), one line on it,
// rewritten as outputs are done, says how far the run is.
[[nodiscard]] run_outcome run_discrip(std::span<const std::string> arguments, const rip_start& start, console& messages,
                                      console* progress, file_system& files, folder_tree& folders,
                                      interrupts& stop_requests);
