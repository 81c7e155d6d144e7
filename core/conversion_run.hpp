#pragma once

#include "adpcm.hpp"
#include "console.hpp"
#include "interrupts.hpp"
#include "streams.hpp"
#include "wav_output.hpp"

#include <optional>
#include <span>
#include <string>
#include <string_view>

// How an input stage ended: at the end of its input, or stopped early.
enum class stage_outcome { finished, read_failed, write_failed, size_limit_reached, interrupted };

// Reads the input and hands each block it finds to pass_block.
using input_stage_routine = stage_outcome (*)(input_stream& input, wav_output& output, predictor_state& state,
                                              console& messages);

// Everything in which the two programs differ.
struct converter_profile {
    std::string_view banner;         // one or two lines
    std::string_view usage;          // printed when no input is named
    std::string_view rate_switch;    // compared against whole arguments
    std::string_view switch_message; // printed each time the switch is seen
    sample_rate default_rate;
    sample_rate switched_rate;
    input_stage_routine input_stage;
};

// What a run came to; exit_status is the one place that turns it into the
// process's exit status.
enum class run_outcome { done, usage_shown, input_not_opened, output_not_created, stopped_early, interrupted };

[[nodiscard]] constexpr int exit_status(run_outcome outcome)
{
    switch (outcome) {
    case run_outcome::done:
        return 0;
    case run_outcome::usage_shown:
        return 1;
    case run_outcome::input_not_opened:
        return 2;
    case run_outcome::output_not_created:
        return 3;
    case run_outcome::stopped_early:
        return 4;
    case run_outcome::interrupted:
        // What a shell reports for a command that Ctrl-C ended. The programs
        // themselves end by the signal instead (end_by_interrupt).
        return 130;
    }
    return 4;
}

// What a read that did not complete means for a stage: the end of its input
// finishes it, a failure or an interrupt stops it. Empty for a complete read.
[[nodiscard]] constexpr std::optional<stage_outcome> read_stop(read_status status)
{
    switch (status) {
    case read_status::complete:
        return std::nullopt;
    case read_status::ended:
        return stage_outcome::finished;
    case read_status::failed:
        return stage_outcome::read_failed;
    case read_status::interrupted:
        return stage_outcome::interrupted;
    }
    return stage_outcome::read_failed;
}

// What samples that could not all be appended mean for a stage. Empty when
// they were.
[[nodiscard]] constexpr std::optional<stage_outcome> append_stop(append_status status)
{
    switch (status) {
    case append_status::ok:
        return std::nullopt;
    case append_status::write_failed:
        return stage_outcome::write_failed;
    case append_status::size_limit_reached:
        return stage_outcome::size_limit_reached;
    }
    return stage_outcome::write_failed;
}

// One block through the decoder into the WAV data. Empty while the stage may
// go on; otherwise the outcome that stops it.
[[nodiscard]] inline std::optional<stage_outcome> pass_block(const adpcm_block& block, predictor_state& state,
                                                             wav_output& output, console& messages)
{
    pcm_block samples; // NOLINT(cppcoreguidelines-pro-type-member-init): decode_block fills all of it
    decode_block(block, state, samples, messages);
    return append_stop(append_samples(output, samples));
}

// What a run prints when it stops on a read or a write that failed; the
// page's other conversions print the same.
[[nodiscard]] std::string cannot_read_message(std::string_view input_path);
[[nodiscard]] std::string cannot_write_message(std::string_view output_name);

// The conversion proper, between opening the files and finishing the WAV
// file: the header, "Decompressing...", then `stage` over the whole input
// from a zeroed predictor state.
[[nodiscard]] stage_outcome run_stage(input_stage_routine stage, sample_rate rate, byte_source& input_file,
                                      wav_output& output, console& messages);

// What a command line sets: the rate, and the input when one is named.
struct run_settings {
    sample_rate rate;
    std::optional<std::string> input_path;
};

// The settings that `arguments` (the program's own name left out) give,
// printing the switch and unknown-option messages in argument order.
[[nodiscard]] run_settings read_command_line(const converter_profile& profile, std::span<const std::string> arguments,
                                             console& messages);

// The rest of a run once its settings are read: the usage where no input is
// named, otherwise open, convert and finish.
[[nodiscard]] run_outcome run_with_settings(const converter_profile& profile, const run_settings& settings,
                                            console& messages, file_system& files, interrupts& stop_requests);

// A run whose settings were chosen rather than typed, as the page chooses
// them: the same messages and file as the command line with that input path,
// and the rate switch where `rate_switch` is set.
[[nodiscard]] run_outcome run_chosen(const converter_profile& profile, bool rate_switch, const std::string& input_path,
                                     console& messages, file_system& files, interrupts& stop_requests);

// A whole run of a program: `arguments` is the process's argument vector, the
// program's own name first. Messages, files and interrupts come from whatever
// the run is in: the system for the programs, memory for tests and fuzz
// targets, the browser for the page.
[[nodiscard]] run_outcome run_conversion(const converter_profile& profile, std::span<const std::string> arguments,
                                         console& messages, file_system& files, interrupts& stop_requests);
