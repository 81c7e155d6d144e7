// The sound formats' files on the page: their inputs opened through the
// host, and their parts in the page's terms.
#include "sound_parts.hpp"

#include "locations.hpp"
#include "sound_files.hpp"

namespace {

sound_format format_of(converter_program program)
{
    return program == converter_program::xa    ? sound_format::xa
           : program == converter_program::vag ? sound_format::vag
                                               : sound_format::bank;
}

// A data file in raw sectors is read whole, subheaders and all, for its XA
// sound; the rest as their bytes, as many as recorded: a VAG file or a bank
// lies in Form 1 sectors, which the reader cuts to that size.
sound_file file_of(converter_program program, const input_location& input, const input_location& body)
{
    const bool sectors = program == converter_program::xa && input.kind == input_kind::data_file;
    sound_file file{[input, sectors]() {
                        return sectors ? open_located_sectors(input, read_pace::converting)
                                       : open_located(input, read_pace::converting);
                    },
                    sectors ? whole(input.sectors) * raw_sector_bytes : whole(input.size), sectors};
    if (body.kind != input_kind::none) {
        file.open_body = [body]() { return open_located(body, read_pace::converting); };
        file.body_size = whole(body.size);
    }
    return file;
}

output_part page_part(const sound_part& part)
{
    return {part.suffix,
            part.note,
            part.format.channels,
            static_cast<int>(part.format.rate),
            static_cast<double>(part.start),
            static_cast<double>(part.end),
            static_cast<double>(part.bytes),
            part.xa_file,
            part.xa_channel,
            part.eight_bit};
}

sound_part reader_part(const output_part& part)
{
    return {part.suffix,
            part.note,
            {static_cast<std::uint16_t>(part.channels), static_cast<std::uint32_t>(part.rate)},
            whole(part.start),
            whole(part.end),
            whole(part.bytes),
            static_cast<std::uint8_t>(part.xa_file),
            static_cast<std::uint8_t>(part.xa_channel),
            part.eight_bit};
}

part_listing page_listing(const sound_listing& listed)
{
    part_listing listing{listed.reason, listed.unreadable, {}};
    for (const sound_part& part : listed.parts) {
        listing.parts.push_back(page_part(part));
    }
    return listing;
}

// Why an input cannot be read as the format at all, before it is opened: XA
// sound in an image that keeps only its sectors' data.
std::string_view reason_before_reading(converter_program program, const input_location& input)
{
    const bool cooked = input.kind == input_kind::data_file && input.layout != sector_layout::raw;
    return program == converter_program::xa && cooked ? xa_needs_raw_sectors : std::string_view{};
}

} // namespace

bool is_sound_format(converter_program program)
{
    return program == converter_program::xa || program == converter_program::vag || program == converter_program::bank;
}

double sound_wav_bound(converter_program program, const input_location& input, const input_location& body,
                       const output_part& part)
{
    const sound_format format = format_of(program);
    return static_cast<double>(part.end > 0 ? sound_part_bound(format, reader_part(part))
                                            : sound_file_bound(format, file_of(program, input, body)));
}

namespace {

// The end of a conversion into `sink`: the reply, or the programs' message
// for what failed, and the WAV file begun let go of.
conversion_reply settle(const conversion_request& request, const part_conversion& converted, host_sink& sink,
                        const outline_builder& outline, console& messages)
{
    const bool closed = sink.close() == io_status::ok;
    const auto frames = static_cast<double>(converted.frames);
    if (converted.outcome == stage_outcome::finished && closed) {
        return {exit_status(run_outcome::done), frames, outline.outline()};
    }
    messages.print(converted.outcome == stage_outcome::read_failed ? cannot_read_message(request.name)
                                                                   : cannot_write_message(request.name + ".wav"));
    discard_job_output();
    return {exit_status(run_outcome::stopped_early), frames, outline.outline()};
}

} // namespace

conversion_reply convert_sound(const conversion_request& request)
{
    const sound_part part = reader_part(request.part);
    outline_builder outline{sound_part_bound(format_of(request.program), part) / 2};
    host_sink sink{canonical_header_bytes, outline};
    wav_output output{sink};
    host_console messages;
    const part_conversion converted = convert_sound_part(
        format_of(request.program), file_of(request.program, request.input, request.body), part, output, messages);
    return settle(request, converted, sink, outline, messages);
}

first_part_reply convert_first_part(const conversion_request& request)
{
    if (const std::string_view reason = reason_before_reading(request.program, request.input); !reason.empty()) {
        discard_job_output();
        return {{exit_status(run_outcome::done), 0, {}}, {std::string{reason}, false, {}}};
    }
    const sound_format format = format_of(request.program);
    const sound_file file = file_of(request.program, request.input, request.body);
    outline_builder outline{sound_file_bound(format, file) / 2};
    host_sink sink{canonical_header_bytes, outline};
    wav_output output{sink};
    host_console messages;
    const first_part_conversion first = convert_first_sound_part(format, file, output, messages);
    if (first.sole) {
        return {settle(request, first.converted, sink, outline, messages), page_listing(first.listing)};
    }
    if (first.converted.outcome != stage_outcome::finished) {
        // The listing stopped where the output failed: its parts are not all.
        return {settle(request, first.converted, sink, outline, messages), {}};
    }
    // Several parts, or none: each part is converted on its own.
    static_cast<void>(sink.close());
    discard_job_output();
    return {{exit_status(run_outcome::done), 0, outline.outline()}, page_listing(first.listing)};
}
