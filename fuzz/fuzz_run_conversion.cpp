// Whole runs of either program over in-memory files: the command line, the
// outcome, the messages and the WAV file must agree with each other.
#include "blockrip.hpp"
#include "cinerip.hpp"
#include "fuzz_checks.hpp"

#include <algorithm>
#include <string>

namespace {

// Input layout: byte 0 picks the program (bit 0) and the number of arguments
// (bits 1-2); byte 1 caps the output (0: it cannot be created, 255: no cap,
// otherwise that many 64-byte units); then each argument as a length byte
// and that many letters from a small alphabet, so that "in", "-11", "-22"
// and unknown options all come up; then two bytes shaping the input stream
// and the file "in" itself, as for the stage fuzz targets.
constexpr std::string_view alphabet = "in-12x.wav";

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2) {
        return 0;
    }
    const converter_profile& profile = (data[0] & 1U) != 0 ? blockrip_profile : cinerip_profile;
    const std::size_t argument_count = (data[0] >> 1U) & 3U;
    memory_files files;
    files.outputs_can_be_created = data[1] != 0;
    files.output_capacity = data[1] == 255 ? memory_sink::unlimited : std::uint64_t{data[1]} * 64;

    std::vector<std::string> arguments{"program"};
    std::size_t next = 2;
    for (std::size_t i = 0; i < argument_count && next < size; ++i) {
        const std::size_t wanted = data[next] % 8U;
        ++next;
        const std::size_t length = std::min(wanted, size - next);
        std::string argument;
        for (std::size_t j = 0; j < length; ++j) {
            argument += alphabet[data[next++] % alphabet.size()];
        }
        arguments.push_back(argument);
    }
    fuzz_input input{};
    if (!split_fuzz_input(data + next, size - next, input)) {
        return 0;
    }
    files.inputs["in"].assign(input.file.begin(), input.file.end());
    files.fetch_bytes = input.shape.fetch_bytes;
    files.fail_at = input.shape.fail_at;

    string_console messages;
    no_interrupts stop_requests;
    const int status = exit_status(run_conversion(profile, arguments, messages, files, stop_requests));

    // What the command line asks for, read independently.
    std::string input_path;
    bool named = false;
    bool switched = false;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == profile.rate_switch) {
            switched = true;
        } else if (arguments[i].empty() || arguments[i][0] != '-') {
            input_path = arguments[i];
            named = true;
        }
    }
    const std::string& text = messages.text;
    require(text.starts_with(profile.banner));
    require((status == 0) == text.ends_with("DONE!\r\n"));
    switch (status) {
    case 0: {
        require(named && files.outputs.size() == 1 && files.outputs.contains(input_path + ".wav"));
        const std::vector<std::uint8_t>& wav = files.outputs.begin()->second->bytes;
        require_valid_wav(wav, switched ? profile.switched_rate : profile.default_rate);
        // The same samples as the stage gives on its own.
        const stage_run alone = run_stage_checked(profile.input_stage, {input.file, {}});
        require(std::equal(wav.begin() + wav_header_bytes, wav.end(), alone.wav.begin() + wav_header_bytes,
                           alone.wav.end()));
        break;
    }
    case 1:
        require(!named && text.ends_with(profile.usage) && files.outputs.empty());
        break;
    case 2:
        require(named && input_path != "in" && text.ends_with("ERROR: Cannot open file " + input_path + "\r\n"));
        require(files.outputs.empty());
        break;
    case 3:
        require(named && !files.outputs_can_be_created && files.outputs.empty());
        break;
    case 4:
        if (text.find("ERROR: Cannot write file " + input_path + ".wav\r\n") != std::string::npos) {
            require(files.outputs.empty());
        } else {
            require(files.outputs.size() == 1);
            require_valid_wav(files.outputs.begin()->second->bytes,
                              switched ? profile.switched_rate : profile.default_rate);
        }
        break;
    default:
        require(false);
    }
    return 0;
}
