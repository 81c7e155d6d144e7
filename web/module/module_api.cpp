#include "module_api.hpp"

#include "blockrip.hpp"
#include "cd_audio.hpp"
#include "cinerip.hpp"
#include "host_files.hpp"
#include "locations.hpp"
#include "sort_disc_file.hpp"
#include "sound_parts.hpp"

#include <algorithm>
#include <numeric>

namespace {

input_location location_of(const disc_entry& entry)
{
    const input_kind kind = entry.kind == entry_kind::data_file ? input_kind::data_file : input_kind::audio_track;
    return {kind,
            static_cast<int>(entry.where.file),
            static_cast<double>(entry.where.start),
            static_cast<double>(entry.where.sectors),
            entry.where.layout,
            static_cast<double>(entry.size),
            entry.form2};
}

disc_contents contents_of(const disc_listing& listing, std::vector<int> used)
{
    if (!listing.error.empty()) {
        return {"The disc image cannot be read: " + listing.error + ".", true, {}, {}};
    }
    disc_contents contents{{}, true, {}, std::move(used)};
    for (const disc_entry& entry : listing.entries) {
        if (entry.kind == entry_kind::unread) {
            contents.entries.push_back({entry.kind, entry.path, entry.reason, {}, 0});
            continue;
        }
        const input_location location = location_of(entry);
        const double span = entry.kind == entry_kind::audio_track
                                ? location.size
                                : location.sectors * static_cast<double>(sector_bytes(location.layout));
        contents.entries.push_back({entry.kind, entry.path, {}, location, span});
    }
    return contents;
}

disc_contents list_cue_disc(const std::vector<std::string>& names)
{
    const std::uint64_t size = job_file_size(0);
    range_source sheet_file{0, 0, size, read_pace::converting};
    const cue_reading cue = read_cue_sheet(sheet_file, size);
    if (!cue.error.empty()) {
        return {"The cue sheet cannot be read: " + cue.error + ".", true, {}, {}};
    }
    const std::span<const std::string> candidates = std::span{names}.subspan(std::min<std::size_t>(1, names.size()));
    const cue_files_found found = find_cue_files(cue.sheet, candidates);
    if (!found.error.empty()) {
        return {"The cue sheet names " + found.error + ", which was not chosen with it.", true, {}, {}};
    }
    std::vector<int> used;
    for (const std::size_t candidate : found.files) {
        used.push_back(static_cast<int>(candidate) + 1);
    }
    host_image image{used, read_pace::converting};
    return contents_of(list_cue_image(cue.sheet, image), std::move(used));
}

const converter_profile& profile_of(converter_program program)
{
    return program == converter_program::blockrip ? blockrip_profile : cinerip_profile;
}

conversion_reply reply_of(int status, const outline_builder& outline, std::uint32_t channels)
{
    return {status, static_cast<double>(outline.outline().samples / channels), outline.outline()};
}

// A CD audio track, written as it is under the canonical header. The header
// holds the track's whole length: a part of it is no file.
conversion_reply convert_track(const conversion_request& request, std::uint64_t length)
{
    host_console messages;
    outline_builder outline{length / 2};
    const std::unique_ptr<byte_source> track = open_located(request.input, read_pace::converting);
    host_sink wav{canonical_header_bytes, outline};
    const copy_outcome copied = track ? write_cd_audio(*track, length, wav) : copy_outcome::read_failed;
    const bool closed = wav.close() == io_status::ok;
    if (copied == copy_outcome::done && closed) {
        return reply_of(exit_status(run_outcome::done), outline, cd_audio_format.channels);
    }
    messages.print(copied == copy_outcome::read_failed ? cannot_read_message(request.name)
                                                       : cannot_write_message(request.name + ".wav"));
    discard_job_output();
    return reply_of(exit_status(run_outcome::stopped_early), outline, cd_audio_format.channels);
}

} // namespace

disc_contents list_disc(image_type type, const std::vector<std::string>& names)
{
    if (type == image_type::cue) {
        return list_cue_disc(names);
    }
    if (type == image_type::bin) {
        // Its first sector, no more: a .bin that is no image is read again
        // when it is converted.
        range_source start{0, 0, std::min<std::uint64_t>(job_file_size(0), raw_sector_bytes), read_pace::converting};
        const fetch_result first = start.fetch();
        if (first.status != fetch_status::ok) {
            return {"The disc image cannot be read.", true, {}, {}};
        }
        if (!starts_with_sync(first.bytes)) {
            return {{}, false, {}, {}};
        }
    }
    host_image image{{0}, read_pace::converting};
    return contents_of(list_image(type == image_type::iso ? image_kind::iso : image_kind::raw_bin, image), {0});
}

sorting_reply sort_input(const input_location& input)
{
    if (input.kind == input_kind::data_file) {
        host_image image = job_image(read_pace::sorting);
        const sorted_content sorted =
            sort_disc_file(image, {entry_kind::data_file, {}, sectors_of(input), whole(input.size), {}, input.form2});
        return {sorted.verdict, std::string{sorted.reason}};
    }
    outline_builder unused{0};
    host_input_files files{[&] { return open_located(input, read_pace::sorting); }, unused};
    const sorted_content sorted = sort_content(files, "input", input_bound(input));
    return {sorted.verdict, std::string{sorted.reason}};
}

std::uint32_t program_rate(converter_program program, bool rate_switch)
{
    if (program == converter_program::cd_audio) {
        return cd_audio_format.rate;
    }
    if (is_sound_format(program)) {
        return 0; // each part has its own
    }
    const converter_profile& profile = profile_of(program);
    return static_cast<std::uint32_t>(rate_switch ? profile.switched_rate : profile.default_rate);
}

double wav_bound(converter_program program, const input_location& input, const input_location& body,
                 const output_part& part)
{
    if (is_sound_format(program)) {
        return sound_wav_bound(program, input, body, part);
    }
    const std::uint64_t bound = input_bound(input);
    if (program == converter_program::cd_audio) {
        return static_cast<double>(canonical_header_bytes + bound);
    }
    return static_cast<double>(wav_header_bytes +
                               (bound + adpcm_block_bytes - 1) / adpcm_block_bytes * pcm_block_bytes);
}

conversion_reply convert_input(const conversion_request& request)
{
    const std::uint64_t bound = input_bound(request.input);
    if (request.program == converter_program::cd_audio) {
        return convert_track(request, bound);
    }
    if (is_sound_format(request.program)) {
        return convert_sound(request);
    }
    outline_builder outline{bound / adpcm_block_bytes * samples_per_block};
    host_input_files files{[&] { return open_located(request.input, read_pace::converting); }, outline};
    host_console messages;
    no_interrupts stop_requests; // a cancel ends the worker, and the run with it
    const run_outcome outcome =
        run_chosen(profile_of(request.program), request.rate_switch, request.name, messages, files, stop_requests);
    return reply_of(exit_status(outcome), outline, 1);
}
