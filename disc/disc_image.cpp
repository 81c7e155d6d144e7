#include "disc_image.hpp"

#include "cd_audio.hpp"

#include <algorithm>
#include <cstdio>

namespace {

disc_listing listed_files(image_files& files, const sector_run& track, disc_listing listing)
{
    file_listing found = list_files(files, track);
    if (!found.error.empty()) {
        return {{}, std::move(found.error)};
    }
    for (disc_file& file : found.files) {
        const sector_run where{track.file, track.start + file.first * sector_bytes(track.layout), file.sectors,
                               track.layout};
        listing.entries.push_back({entry_kind::data_file, std::move(file.path), where, file.size, {}, file.form2});
    }
    return listing;
}

std::string track_name(unsigned number)
{
    std::array<char, 16> name{};
    std::snprintf(name.data(), name.size(), "Track %02u", number);
    return name.data();
}

struct track_bytes {
    std::uint64_t start;
    std::uint64_t end;
};

// From INDEX 01 to where the next track in the same file has its pregap or
// starts, or to the end of the file.
track_bytes bytes_of(const cue_sheet& sheet, std::size_t at, std::uint64_t sector, std::uint64_t file_size)
{
    const cue_track& track = sheet.tracks[at];
    std::uint64_t end = file_size;
    if (at + 1 < sheet.tracks.size() && sheet.tracks[at + 1].file == track.file) {
        const cue_track& next = sheet.tracks[at + 1];
        end = std::min(end, next.pregap.value_or(*next.start) * sector);
    }
    return {std::min(*track.start * sector, file_size), end};
}

} // namespace

disc_listing list_image(image_kind kind, image_files& files)
{
    const sector_layout layout = kind == image_kind::iso ? sector_layout::cooked : sector_layout::raw;
    return listed_files(files, {0, 0, files.size(0) / sector_bytes(layout), layout}, {});
}

disc_listing list_cue_image(const cue_sheet& sheet, image_files& files)
{
    disc_listing listing;
    std::optional<sector_run> data;
    for (std::size_t at = 0; at < sheet.tracks.size(); ++at) {
        const cue_track& track = sheet.tracks[at];
        const cue_file& file = sheet.files[track.file];
        const std::string name = track_name(track.number);
        const bool binary = file.type == "BINARY" || file.type == "MOTOROLA";
        if (!binary || track.mode == track_mode::other) {
            const std::string what = !binary ? "in a " + file.type + " file" : "of mode " + track.mode_name;
            listing.entries.push_back({entry_kind::unread, name, {}, 0, "a track " + what + ", which is not read"});
            continue;
        }
        const sector_layout layout = track.mode == track_mode::cooked_data ? sector_layout::cooked : sector_layout::raw;
        const track_bytes bytes = bytes_of(sheet, at, sector_bytes(layout), files.size(track.file));
        if (bytes.end < bytes.start) {
            return {{}, name + " ends before it starts"};
        }
        if (track.mode == track_mode::audio) {
            const std::uint64_t length = bytes.end - bytes.start;
            if (length > canonical_data_limit) {
                listing.entries.push_back({entry_kind::unread, name, {}, 0, "longer than a WAV file can hold"});
            } else {
                listing.entries.push_back(
                    {entry_kind::audio_track, name, {track.file, bytes.start, 0, layout}, length, {}});
            }
        } else if (!data) {
            data = sector_run{track.file, bytes.start, (bytes.end - bytes.start) / sector_bytes(layout), layout};
        } else {
            listing.entries.push_back({entry_kind::unread, name, {}, 0, "a second data track, which is not read"});
        }
    }
    return data ? listed_files(files, *data, std::move(listing)) : listing;
}

std::unique_ptr<byte_source> open_entry_sectors(image_files& files, const sector_run& where)
{
    if (where.layout != sector_layout::raw) {
        return nullptr;
    }
    return files.open_range(where.file, where.start, where.sectors * raw_sector_bytes);
}

std::unique_ptr<byte_source> open_entry(image_files& files, const disc_entry& entry)
{
    switch (entry.kind) {
    case entry_kind::data_file:
        return open_sector_file(files, entry.where, entry.size);
    case entry_kind::audio_track:
        return files.open_range(entry.where.file, entry.where.start, entry.size);
    case entry_kind::unread:
        break;
    }
    return nullptr;
}
