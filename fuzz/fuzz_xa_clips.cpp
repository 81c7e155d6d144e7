// The XA reader over any file, read in any shape: its form recognised or
// forced, its clips listed, and each clip (up to 16) written as a WAV file
// that holds exactly its sectors' samples under a canonical header whose
// sizes agree with its length. Listed while the first clip converts, the
// file gives the same clips and that clip the same bytes.
#include "fuzz_checks.hpp"
#include "xa_clips.hpp"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2) {
        return 0;
    }
    const std::size_t fetch_bytes = data[1] == 0 ? memory_source::never : data[1];
    const std::span<const std::uint8_t> file{data + 2, size - 2};
    sector_layout_of_file layout = recognise_sector_form(file, file.size());
    switch (data[0] % 4U) {
    case 0:
        layout = {sector_form::raw, 0, 2352};
        break;
    case 1:
        layout = {sector_form::cdxa, cdxa_header_bytes, 2352};
        break;
    case 2:
        layout = {sector_form::raw_2336, 0, 2336};
        break;
    default:
        if (layout.form == sector_form::none) {
            return 0;
        }
    }
    memory_source listed{file, fetch_bytes};
    const xa_clip_listing listing = list_xa_clips(listed, layout);
    require(listing.error.empty());
    const std::uint64_t sectors = file.size() > layout.first ? (file.size() - layout.first) / layout.sector_bytes : 0;
    std::uint64_t owned = 0;
    for (const xa_clip& clip : listing.clips) {
        require(clip.first_sector <= clip.last_sector && clip.last_sector < sectors && clip.sectors >= 1 &&
                clip.sectors <= clip.last_sector - clip.first_sector + 1);
        owned += clip.sectors;
    }
    require(owned <= sectors);
    memory_source listed_again{file, fetch_bytes};
    memory_sink first_sink;
    wav_output first_output{first_sink, 3};
    const xa_clip_listing converting = list_xa_clips_converting_first(listed_again, layout, first_output);
    require(converting.error.empty() && converting.stopped == stage_outcome::finished &&
            converting.clips.size() == listing.clips.size());
    require(listing.clips.empty() || finish_wav(first_output) == io_status::ok);
    for (std::size_t i = 0; i < std::min<std::size_t>(listing.clips.size(), 16); ++i) {
        const xa_clip& clip = listing.clips[i];
        memory_source source{file, fetch_bytes};
        memory_sink sink;
        wav_output output{sink, 3};
        require(convert_xa_clip(source, layout, clip, output) == stage_outcome::finished);
        require(finish_wav(output) == io_status::ok);
        const std::uint64_t per_sector = clip.coding.eight_bit ? xa_max_sector_samples / 2 : xa_max_sector_samples;
        require(sink.bytes.size() == canonical_header_bytes + 2 * per_sector * clip.sectors);
        const canonical_wav_header header = make_canonical_wav_header(
            xa_clip_format(clip), static_cast<std::uint32_t>(sink.bytes.size() - canonical_header_bytes));
        require(std::equal(header.begin(), header.end(), sink.bytes.begin()));
        require(i != 0 || sink.bytes == first_sink.bytes);
    }
    return 0;
}
