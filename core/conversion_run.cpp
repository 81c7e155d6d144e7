#include "conversion_run.hpp"

#include "file_streams.hpp"
#include "platform.hpp"

#include <string>

namespace {

struct run_settings {
    sample_rate rate;
    std::optional<std::string> input_path;
};

// Switch and option messages come out in argument order, before anything is
// opened.
run_settings read_command_line(const converter_profile& profile, std::span<const char* const> arguments,
                               console& messages)
{
    run_settings settings{profile.default_rate, std::nullopt};
    for (const std::string_view argument : arguments) {
        if (argument == profile.rate_switch) {
            messages.print(profile.switch_message);
            settings.rate = profile.switched_rate;
        } else if (argument.starts_with('-')) {
            messages.print("unknown option " + std::string{argument} + "\r\n");
        } else {
            settings.input_path = std::string{argument};
        }
    }
    return settings;
}

struct open_files {
    file_system& system;
    const std::string& input_path;
    byte_source& input;
    const std::string& output_name;
    byte_sink& output;
};

void report_stop(stage_outcome outcome, const open_files& files, console& messages)
{
    switch (outcome) {
    case stage_outcome::read_failed:
        messages.print("ERROR: Cannot read file " + files.input_path + "\r\n");
        break;
    case stage_outcome::size_limit_reached:
        messages.print("ERROR: WAV file size limit reached\r\n");
        break;
    case stage_outcome::interrupted:
        messages.print("ERROR: Conversion interrupted\r\n");
        break;
    case stage_outcome::finished:
    case stage_outcome::write_failed:
        break;
    }
}

run_outcome convert(const converter_profile& profile, sample_rate rate, const open_files& files, console& messages)
{
    wav_output output{files.output};
    stage_outcome outcome = stage_outcome::write_failed;
    if (write_wav_header(output, rate) == io_status::ok) {
        messages.print("Decompressing...\r\n");
        predictor_state state{0, 0};
        input_stream input{files.input};
        watch_interrupts();
        outcome = profile.input_stage(input, output, state, messages);
    }
    report_stop(outcome, files, messages);

    // A stop on the input, at the size limit or by the user still leaves a
    // valid file for what was decoded; a failed write leaves nothing worth
    // keeping.
    const bool finished = outcome != stage_outcome::write_failed && finish_wav(output) == io_status::ok;
    const bool output_closed = files.output.close() == io_status::ok;
    if (!finished || !output_closed) {
        messages.print("ERROR: Cannot write file " + files.output_name + "\r\n");
        files.system.discard_output(files.output_name);
        outcome = stage_outcome::write_failed;
    }
    if (files.input.close() != io_status::ok && outcome == stage_outcome::finished) {
        report_stop(stage_outcome::read_failed, files, messages);
        outcome = stage_outcome::read_failed;
    }
    // An interrupt after the last fetch let the finish complete; it is
    // reported all the same, instead of DONE!.
    stop_watching_interrupts();
    if (interrupt_received() && outcome != stage_outcome::interrupted) {
        report_stop(stage_outcome::interrupted, files, messages);
        return run_outcome::interrupted;
    }
    if (outcome == stage_outcome::interrupted) {
        return run_outcome::interrupted;
    }
    if (outcome != stage_outcome::finished) {
        return run_outcome::stopped_early;
    }
    messages.print("DONE!\r\n");
    return run_outcome::done;
}

run_outcome run(const converter_profile& profile, std::span<const char* const> arguments, console& messages,
                file_system& files)
{
    messages.print(profile.banner);
    const run_settings settings =
        arguments.size() > 1 ? read_command_line(profile, arguments.subspan(1), messages) : run_settings{};
    if (!settings.input_path) {
        messages.print(profile.usage);
        return run_outcome::usage_shown;
    }
    const std::string& input_path = *settings.input_path;
    const std::unique_ptr<byte_source> input = files.open_input(input_path);
    if (!input) {
        messages.print("ERROR: Cannot open file " + input_path + "\r\n");
        return run_outcome::input_not_opened;
    }
    const std::string output_name = input_path + ".wav";
    const std::unique_ptr<byte_sink> output = files.create_output(output_name, input_path);
    if (!output) {
        messages.print("ERROR: Cannot open file for decompression: " + output_name + "\r\n");
        return run_outcome::output_not_created;
    }
    return convert(profile, settings.rate, {files, input_path, *input, output_name, *output}, messages);
}

} // namespace

int run_conversion(const converter_profile& profile, std::span<const char* const> arguments, console& messages,
                   file_system& files)
{
    return exit_status(run(profile, arguments, messages, files));
}

int run_conversion(const converter_profile& profile, int argc, const char* const* argv)
{
    ignore_broken_pipes();
    const std::vector<std::string> arguments = command_line_arguments(argc, argv);
    std::vector<const char*> argument_pointers;
    argument_pointers.reserve(arguments.size());
    for (const std::string& argument : arguments) {
        argument_pointers.push_back(argument.c_str());
    }
    stdout_console messages;
    disk_files files;
    const run_outcome outcome = run(profile, argument_pointers, messages, files);
    if (outcome == run_outcome::interrupted) {
        messages.flush();
        end_by_interrupt();
    }
    return exit_status(outcome);
}
