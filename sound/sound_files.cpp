#include "sound_files.hpp"

#include "byte_order.hpp"
#include "sound_bank.hpp"
#include "vag_file.hpp"
#include "xa_clips.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <optional>

namespace {

bool read_failure(read_status status)
{
    return status == read_status::failed || status == read_status::interrupted;
}

// A file's first bytes, as many as `into` holds or the file has.
struct front_read {
    read_status status;
    std::span<const std::uint8_t> bytes;
};

front_read read_front(const sound_file& file, std::span<std::uint8_t> into)
{
    const std::unique_ptr<byte_source> source = file.open();
    if (!source) {
        return {read_status::failed, {}};
    }
    const auto length = static_cast<std::size_t>(std::min<std::uint64_t>(into.size(), file.size));
    input_stream stream{*source};
    const read_status read = stream.read(into.first(length));
    return {source->close() == io_status::ok ? read : read_status::failed, into.first(length)};
}

// Where an XA file's sectors lie, and in which form.
struct xa_layout {
    sector_layout_of_file layout{sector_form::none, 0, 0};
    bool unreadable = false;
};

xa_layout xa_layout_of(const sound_file& file)
{
    if (file.whole_sectors) {
        return {{sector_form::raw, 0, raw_form_sector_bytes}};
    }
    std::array<std::uint8_t, cdxa_header_bytes + sectors_to_recognise * raw_form_sector_bytes> bytes{};
    const front_read front = read_front(file, bytes);
    if (read_failure(front.status)) {
        return {{}, true};
    }
    return {recognise_sector_form(front.bytes, front.bytes.size() < bytes.size() ? front.bytes.size() : file.size)};
}

std::string stream_suffix(const xa_clip& clip, std::size_t clip_number, std::size_t clips_of_stream)
{
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), ".f%uc%02u", unsigned{clip.file}, unsigned{clip.channel});
    const std::string suffix = text.data();
    return clips_of_stream > 1 ? suffix + "-" + std::to_string(clip_number) : suffix;
}

// The listing's clips as parts, or why there are none.
sound_listing xa_parts(const xa_clip_listing& listing, const sector_layout_of_file& layout)
{
    if (listing.read_failed) {
        return {{}, true, {}};
    }
    if (!listing.error.empty() || listing.clips.empty()) {
        return {listing.error.empty() ? "no XA sound" : listing.error, false, {}};
    }
    using stream_key = std::pair<std::uint8_t, std::uint8_t>;
    std::map<stream_key, std::size_t> clips_of;
    for (const xa_clip& clip : listing.clips) {
        ++clips_of[{clip.file, clip.channel}];
    }
    std::map<stream_key, std::size_t> numbered;
    sound_listing parts;
    for (const xa_clip& clip : listing.clips) {
        const stream_key key{clip.file, clip.channel};
        parts.parts.push_back({listing.clips.size() > 1 ? stream_suffix(clip, ++numbered[key], clips_of[key]) : "",
                               clip.coding.eight_bit ? "8-bit" : "", xa_clip_format(clip), clip.first_sector,
                               clip.last_sector + 1, (clip.last_sector + 1 - clip.first_sector) * layout.sector_bytes,
                               clip.file, clip.channel, clip.coding.eight_bit});
    }
    return parts;
}

// The file's sectors and their form, opened; or the listing that says why
// there are none.
struct opened_xa {
    std::unique_ptr<byte_source> sectors;
    sector_layout_of_file layout;
    sound_listing failed;
};

opened_xa open_xa(const sound_file& file)
{
    const xa_layout found = xa_layout_of(file);
    if (found.unreadable) {
        return {nullptr, {}, {{}, true, {}}};
    }
    if (found.layout.form == sector_form::none) {
        return {nullptr, {}, {"no whole sectors, which XA sound needs", false, {}}};
    }
    std::unique_ptr<byte_source> sectors = file.open();
    if (!sectors) {
        return {nullptr, {}, {{}, true, {}}};
    }
    return {std::move(sectors), found.layout, {}};
}

sound_listing list_xa(const sound_file& file)
{
    const opened_xa xa = open_xa(file);
    if (!xa.sectors) {
        return xa.failed;
    }
    xa_clip_listing listing = list_xa_clips(*xa.sectors, xa.layout);
    listing.read_failed = xa.sectors->close() != io_status::ok || listing.read_failed;
    return xa_parts(listing, xa.layout);
}

sound_listing list_vag(const sound_file& file)
{
    std::array<std::uint8_t, vag_header_bytes> header{};
    const front_read front = read_front(file, header);
    if (read_failure(front.status)) {
        return {{}, true, {}};
    }
    if (front.bytes.size() < vag_header_bytes || !starts_with_vag(front.bytes)) {
        return {"not a VAG file", false, {}};
    }
    const vag_header fields = read_vag_header(header);
    const std::uint32_t rate = vag_output_rate(fields);
    std::string note = fields.name.empty() ? "" : "named " + fields.name;
    if (rate != fields.rate) {
        note += (note.empty() ? "" : "; ") + std::string{"its header's rate ("} + std::to_string(fields.rate) +
                ") cannot be right";
    }
    return {{}, false, {{"", note, {1, rate}, 0, file.size, file.size}}};
}

sound_listing list_bank(const sound_file& file)
{
    constexpr std::size_t recorded_size_at = 0x0C;
    std::vector<std::uint8_t> bytes(max_bank_header_bytes);
    const front_read front = read_front(file, bytes);
    if (read_failure(front.status)) {
        return {{}, true, {}};
    }
    const bool separate_body = static_cast<bool>(file.open_body);
    if (!separate_body && front.bytes.size() >= recorded_size_at + 4 && starts_with_bank(front.bytes) &&
        file.size < read_le32(front.bytes, recorded_size_at)) {
        return {"a sound bank's header without its body (.VB)", false, {}};
    }
    const bank_contents bank = read_bank_header(front.bytes, file.size + file.body_size);
    if (!bank.error.empty() || bank.samples.empty()) {
        return {bank.error.empty() ? "a sound bank with no samples" : bank.error, false, {}};
    }
    const std::uint64_t body_at = separate_body ? 0 : bank.header_bytes;
    sound_listing parts;
    for (const bank_sample& sample : bank.samples) {
        std::array<char, 16> suffix{};
        std::snprintf(suffix.data(), suffix.size(), ".s%03zu", sample.number);
        parts.parts.push_back({bank.samples.size() > 1 ? suffix.data() : "",
                               "",
                               {1, sample.rate},
                               body_at + sample.offset,
                               body_at + sample.offset + sample.bytes,
                               sample.bytes});
    }
    return parts;
}

struct converted_sound {
    stage_outcome outcome;
    std::optional<sample_loop> loop;
};

converted_sound convert_xa(const sound_file& file, const sound_part& part, wav_output& output)
{
    const xa_layout found = xa_layout_of(file);
    const std::unique_ptr<byte_source> sectors = found.layout.form == sector_form::none ? nullptr : file.open();
    if (!sectors) {
        return {stage_outcome::read_failed, {}};
    }
    const xa_clip clip{part.xa_file,
                       part.xa_channel,
                       {part.format.channels == 2, part.eight_bit},
                       part.format.rate == xa_rate(true),
                       part.start,
                       part.end - 1,
                       0};
    const stage_outcome outcome = convert_xa_clip(*sectors, found.layout, clip, output);
    if (sectors->close() != io_status::ok && outcome == stage_outcome::finished) {
        return {stage_outcome::read_failed, {}};
    }
    return {outcome, {}};
}

// A VAG file's sample after its header, or a bank's sample where it lies in
// the file that holds the body.
converted_sound convert_sample(sound_format format, const sound_file& file, const sound_part& part, wav_output& output,
                               console& messages)
{
    const bool vag = format == sound_format::vag;
    const std::unique_ptr<byte_source> source = !vag && file.open_body ? file.open_body() : file.open();
    if (!source) {
        return {stage_outcome::read_failed, {}};
    }
    input_stream stream{*source};
    std::uint64_t length = part.end - part.start;
    if (vag) {
        std::array<std::uint8_t, vag_header_bytes> header{};
        if (const std::optional<stage_outcome> stop = read_stop(stream.read(header))) {
            return {*stop, {}};
        }
        length = read_vag_header(header).data_bytes;
    } else if (stream.skip(part.start) != io_status::ok) {
        return {stage_outcome::read_failed, {}};
    }
    const vag_conversion converted = convert_vag_sample(stream, length, part.format.rate, output, messages);
    if (source->close() != io_status::ok && converted.outcome == stage_outcome::finished) {
        return {stage_outcome::read_failed, {}};
    }
    return {converted.outcome, converted.end.loop};
}

} // namespace

sound_listing list_sound_parts(sound_format format, const sound_file& file)
{
    switch (format) {
    case sound_format::xa:
        return list_xa(file);
    case sound_format::vag:
        return list_vag(file);
    case sound_format::bank:
        return list_bank(file);
    }
    return {};
}

part_conversion convert_sound_part(sound_format format, const sound_file& file, const sound_part& part,
                                   wav_output& output, console& messages)
{
    const converted_sound converted = format == sound_format::xa ? convert_xa(file, part, output)
                                                                 : convert_sample(format, file, part, output, messages);
    const std::uint64_t frame_bytes = 2U * part.format.channels;
    const std::uint64_t frames =
        output.length > canonical_header_bytes ? (output.length - canonical_header_bytes) / frame_bytes : 0;
    if (converted.outcome != stage_outcome::finished) {
        return {converted.outcome, frames};
    }
    std::optional<sample_chunk> loop;
    if (converted.loop) {
        loop = make_sample_chunk(part.format.rate, *converted.loop);
    }
    const std::span<const std::uint8_t> trailing =
        loop ? std::span<const std::uint8_t>{*loop} : std::span<const std::uint8_t>{};
    if (finish_wav(output, trailing) != io_status::ok) {
        return {stage_outcome::write_failed, frames};
    }
    return {stage_outcome::finished, frames};
}

first_part_conversion convert_first_sound_part(sound_format format, const sound_file& file, wav_output& output,
                                               console& messages)
{
    if (format != sound_format::xa) {
        first_part_conversion first{list_sound_parts(format, file), {stage_outcome::finished, 0}, false};
        if (first.listing.parts.size() == 1) {
            first.converted = convert_sound_part(format, file, first.listing.parts[0], output, messages);
            first.sole = true;
        }
        return first;
    }
    const opened_xa xa = open_xa(file);
    if (!xa.sectors) {
        return {xa.failed, {stage_outcome::finished, 0}, false};
    }
    xa_clip_listing clips = list_xa_clips_converting_first(*xa.sectors, xa.layout, output);
    clips.read_failed = xa.sectors->close() != io_status::ok || clips.read_failed;
    first_part_conversion first{xa_parts(clips, xa.layout), {clips.stopped, 0}, false};
    if (clips.stopped != stage_outcome::finished || first.listing.parts.size() != 1) {
        return first;
    }
    const sound_part& part = first.listing.parts[0];
    first.converted.frames = (output.length - canonical_header_bytes) / (2U * part.format.channels);
    first.converted.outcome =
        finish_wav(output) == io_status::ok ? stage_outcome::finished : stage_outcome::write_failed;
    first.sole = true;
    return first;
}

std::uint64_t sound_file_bound(sound_format format, const sound_file& file)
{
    if (format == sound_format::xa) {
        return canonical_header_bytes + (file.size / headless_form_sector_bytes + 1) * xa_max_sector_samples * 2;
    }
    return canonical_header_bytes +
           (file.size + file.body_size + adpcm_block_bytes - 1) / adpcm_block_bytes * pcm_block_bytes +
           sample_chunk_bytes;
}

std::uint64_t sound_part_bound(sound_format format, const sound_part& part)
{
    const std::uint64_t span = part.end - part.start;
    if (format == sound_format::xa) {
        return canonical_header_bytes + span * xa_max_sector_samples * 2;
    }
    return canonical_header_bytes + (span + adpcm_block_bytes - 1) / adpcm_block_bytes * pcm_block_bytes +
           sample_chunk_bytes;
}
