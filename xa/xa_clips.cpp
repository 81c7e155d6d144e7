#include "xa_clips.hpp"

#include <array>
#include <map>
#include <utility>

namespace {

using stream_key = std::pair<std::uint8_t, std::uint8_t>; // file number, channel

bool same_coding(const xa_clip& clip, const xa_audio_sector& sector)
{
    return clip.coding.stereo == sector.coding.stereo && clip.coding.eight_bit == sector.coding.eight_bit &&
           clip.half_rate == sector.half_rate;
}

// Skips what lies before the first sector, then hands out whole sectors.
class sector_reader {
public:
    sector_reader(byte_source& source, const sector_layout_of_file& layout)
        : stream_{source}, layout_{layout}, skipped_{stream_.skip(layout.first)}
    {
    }

    [[nodiscard]] read_status next()
    {
        if (skipped_ != io_status::ok) {
            return read_status::failed;
        }
        return stream_.read(std::span{sector_}.first(layout_.sector_bytes));
    }

    [[nodiscard]] std::optional<xa_audio_sector> audio() const
    {
        return read_xa_audio_sector(std::span{sector_}.first(layout_.sector_bytes), layout_.form);
    }

private:
    input_stream stream_;
    sector_layout_of_file layout_;
    io_status skipped_;
    std::array<std::uint8_t, 2352> sector_{};
};

// Lists the clips, handing each audio sector to `on_sector` with the index
// of its clip; a stage outcome from it ends the listing.
template <typename sector_handler>
xa_clip_listing walk_clips(byte_source& sectors, const sector_layout_of_file& layout, sector_handler on_sector)
{
    xa_clip_listing listing;
    std::map<stream_key, std::size_t> open; // each stream's clip, by its index
    sector_reader reader{sectors, layout};
    for (std::uint64_t index = 0;; ++index) {
        const read_status read = reader.next();
        if (read == read_status::ended) {
            return listing;
        }
        if (read != read_status::complete) {
            return {{}, "the sectors cannot be read", true};
        }
        const std::optional<xa_audio_sector> sector = reader.audio();
        if (!sector) {
            continue;
        }
        const stream_key key{sector->file, sector->channel};
        const auto found = open.find(key);
        if (found == open.end() || !same_coding(listing.clips[found->second], *sector)) {
            if (listing.clips.size() == max_xa_clips) {
                return {{}, "more than " + std::to_string(max_xa_clips) + " clips of XA sound"};
            }
            listing.clips.push_back(
                {sector->file, sector->channel, sector->coding, sector->half_rate, index, index, 0});
            open[key] = listing.clips.size() - 1;
        }
        const std::size_t clip_index = open[key];
        xa_clip& clip = listing.clips[clip_index];
        clip.last_sector = index;
        ++clip.sectors;
        if (sector->end_of_file) {
            open.erase(key);
        }
        if (const std::optional<stage_outcome> stop = on_sector(*sector, clip_index)) {
            listing.stopped = *stop;
            return listing;
        }
    }
}

} // namespace

xa_clip_listing list_xa_clips(byte_source& sectors, const sector_layout_of_file& layout)
{
    return walk_clips(sectors, layout,
                      [](const xa_audio_sector&, std::size_t) { return std::optional<stage_outcome>{}; });
}

xa_clip_listing list_xa_clips_converting_first(byte_source& sectors, const sector_layout_of_file& layout,
                                               wav_output& output)
{
    xa_stream_state state{};
    std::array<std::int16_t, xa_max_sector_samples> samples{};
    return walk_clips(sectors, layout,
                      [&](const xa_audio_sector& sector, std::size_t clip) -> std::optional<stage_outcome> {
                          if (clip != 0) {
                              return std::nullopt;
                          }
                          if (output.length == 0 &&
                              write_canonical_header(output, {static_cast<std::uint16_t>(sector.coding.stereo ? 2 : 1),
                                                              xa_rate(sector.half_rate)}) != io_status::ok) {
                              return stage_outcome::write_failed;
                          }
                          const std::size_t count = decode_xa_sector(sector.sound, sector.coding, state, samples);
                          return append_stop(append_pcm_samples(output, std::span{samples}.first(count)));
                      });
}

pcm_format xa_clip_format(const xa_clip& clip)
{
    return {static_cast<std::uint16_t>(clip.coding.stereo ? 2 : 1), xa_rate(clip.half_rate)};
}

stage_outcome convert_xa_clip(byte_source& sectors, const sector_layout_of_file& layout, const xa_clip& clip,
                              wav_output& output)
{
    if (write_canonical_header(output, xa_clip_format(clip)) != io_status::ok) {
        return stage_outcome::write_failed;
    }
    sector_layout_of_file from_first = layout;
    from_first.first += clip.first_sector * layout.sector_bytes;
    sector_reader reader{sectors, from_first};
    xa_stream_state state{};
    std::array<std::int16_t, xa_max_sector_samples> samples{};
    for (std::uint64_t index = clip.first_sector; index <= clip.last_sector; ++index) {
        if (const std::optional<stage_outcome> stop = read_stop(reader.next())) {
            return *stop;
        }
        const std::optional<xa_audio_sector> sector = reader.audio();
        if (!sector || sector->file != clip.file || sector->channel != clip.channel) {
            continue;
        }
        const std::size_t count = decode_xa_sector(sector->sound, clip.coding, state, samples);
        if (const std::optional<stage_outcome> stop =
                append_stop(append_pcm_samples(output, std::span{samples}.first(count)))) {
            return *stop;
        }
    }
    return stage_outcome::finished;
}
