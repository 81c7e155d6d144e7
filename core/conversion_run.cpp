#include "conversion_run.hpp"

#include <string>

namespace {

struct open_files {
    file_system& system;
    const std::string& input_path;
    byte_source& input;
    const std::string& output_name;
    byte_sink& output;
};

void report_stop(stage_outcome stopped, const open_files& files, console& messages)
{
    switch (stopped) {
    case stage_outcome::read_failed:
        messages.print(cannot_read_message(files.input_path));
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

// A stop on the input, at the size limit or by the user still leaves a valid
// file for what was decoded; a failed write leaves nothing worth keeping.
// True when the output is kept, finished and closed.
bool finish_or_discard(stage_outcome stopped, wav_output& output, const open_files& files, console& messages)
{
    const bool finished = stopped != stage_outcome::write_failed && finish_wav(output) == io_status::ok;
    const bool closed = files.output.close() == io_status::ok;
    if (finished && closed) {
        return true;
    }
    messages.print(cannot_write_message(files.output_name));
    files.system.discard_output(files.output_name);
    return false;
}

// What the conversion came to once both files are closed.
struct conversion_end {
    stage_outcome stopped;
    bool output_kept;
    bool input_closed;
};

// Watched from the start of the stage until both files are closed.
conversion_end convert_and_close(const converter_profile& profile, sample_rate rate, const open_files& files,
                                 console& messages, interrupts& stop_requests)
{
    const interrupt_watch watch{stop_requests};
    wav_output output{files.output};
    const stage_outcome stopped = run_stage(profile.input_stage, rate, files.input, output, messages);
    report_stop(stopped, files, messages);
    const bool output_kept = finish_or_discard(stopped, output, files, messages);
    const bool input_closed = files.input.close() == io_status::ok;
    return {stopped, output_kept, input_closed};
}

// An interrupt that no fetch saw (one after the last fetch let the finish
// complete) is reported all the same, instead of DONE!.
run_outcome settle_outcome(const conversion_end& end, bool interrupt_received, const open_files& files,
                           console& messages)
{
    const bool finished = end.stopped == stage_outcome::finished && end.output_kept;
    if (finished && !end.input_closed) {
        report_stop(stage_outcome::read_failed, files, messages);
    }
    if (interrupt_received && end.stopped != stage_outcome::interrupted) {
        report_stop(stage_outcome::interrupted, files, messages);
    }
    if (interrupt_received || end.stopped == stage_outcome::interrupted) {
        return run_outcome::interrupted;
    }
    if (!finished || !end.input_closed) {
        return run_outcome::stopped_early;
    }
    messages.print("DONE!\r\n");
    return run_outcome::done;
}

} // namespace

std::string cannot_read_message(std::string_view input_path)
{
    return "ERROR: Cannot read file " + std::string{input_path} + "\r\n";
}

std::string cannot_write_message(std::string_view output_name)
{
    return "ERROR: Cannot write file " + std::string{output_name} + "\r\n";
}

stage_outcome run_stage(input_stage_routine stage, sample_rate rate, byte_source& input_file, wav_output& output,
                        console& messages)
{
    if (write_wav_header(output, rate) != io_status::ok) {
        return stage_outcome::write_failed;
    }
    messages.print("Decompressing...\r\n");
    predictor_state state{0, 0};
    input_stream input{input_file};
    return stage(input, output, state, messages);
}

run_settings read_command_line(const converter_profile& profile, std::span<const std::string> arguments,
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

run_outcome run_with_settings(const converter_profile& profile, const run_settings& settings, console& messages,
                              file_system& files, interrupts& stop_requests)
{
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
    const open_files opened{files, input_path, *input, output_name, *output};
    const conversion_end end = convert_and_close(profile, settings.rate, opened, messages, stop_requests);
    return settle_outcome(end, stop_requests.received(), opened, messages);
}

run_outcome run_chosen(const converter_profile& profile, bool rate_switch, const std::string& input_path,
                       console& messages, file_system& files, interrupts& stop_requests)
{
    messages.print(profile.banner);
    if (rate_switch) {
        messages.print(profile.switch_message);
    }
    const run_settings settings{rate_switch ? profile.switched_rate : profile.default_rate, input_path};
    return run_with_settings(profile, settings, messages, files, stop_requests);
}

run_outcome run_conversion(const converter_profile& profile, std::span<const std::string> arguments, console& messages,
                           file_system& files, interrupts& stop_requests)
{
    messages.print(profile.banner);
    const run_settings settings = arguments.size() > 1 ? read_command_line(profile, arguments.subspan(1), messages)
                                                       : run_settings{profile.default_rate, std::nullopt};
    return run_with_settings(profile, settings, messages, files, stop_requests);
}
