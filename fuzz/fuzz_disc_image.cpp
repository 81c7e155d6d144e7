// Disc images of any content: listing one ends, fails with a reason or gives
// entries within the bounds, each with a path that stays inside the image's
// folder; and each entry reads to its end, never more than its sectors hold.
//
// Input layout: byte 0 picks the image (0: an .iso, 1: a .bin alone, 2: a
// cue sheet, the input's text up to its first zero byte, over .bin files);
// byte 1 is how many bytes a read hands out at a time (0: all it can). The
// rest is the image from sector 16 on: sixteen sectors of zeros come first,
// so that a small input reaches the volume descriptors.
#include "disc_image.hpp"
#include "fuzz_checks.hpp"
#include "support/memory_image.hpp"

#include <algorithm>

namespace {

bool safe_path(const std::string& path)
{
    std::size_t depth = 0;
    std::size_t from = 0;
    for (;;) {
        const std::size_t slash = std::min(path.find('/', from), path.size());
        const std::string part = path.substr(from, slash - from);
        const bool bad = std::any_of(part.begin(), part.end(), [](char c) {
            return static_cast<unsigned char>(c) < 0x20 || c == 0x7F || c == '\\';
        });
        if (part.empty() || part == "." || part == ".." || bad || ++depth > max_disc_depth + 1) {
            return false;
        }
        if (slash == path.size()) {
            return true;
        }
        from = slash + 1;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2) {
        return 0;
    }
    const unsigned kind = data[0] % 3U;
    const std::size_t fetch_bytes = data[1] == 0 ? memory_source::never : data[1];
    std::span<const std::uint8_t> rest{data + 2, size - 2};
    std::span<const std::uint8_t> cue_text;
    if (kind == 2) {
        const auto end = std::find(rest.begin(), rest.end(), 0);
        cue_text = rest.first(static_cast<std::size_t>(end - rest.begin()));
        rest = rest.subspan(std::min(rest.size(), cue_text.size() + 1));
    }
    const std::size_t sector = kind == 0 ? cooked_sector_bytes : raw_sector_bytes;
    std::vector<std::uint8_t> image(16 * sector);
    image.insert(image.end(), rest.begin(), rest.end());

    disc_listing listing;
    std::optional<memory_image> files;
    if (kind == 2) {
        const cue_reading sheet = parse_cue(cue_text);
        require(sheet.error.empty() == !sheet.sheet.tracks.empty());
        if (!sheet.error.empty()) {
            return 0;
        }
        files.emplace(std::vector<std::vector<std::uint8_t>>(sheet.sheet.files.size(), image), fetch_bytes);
        listing = list_cue_image(sheet.sheet, *files);
    } else {
        files.emplace(std::vector<std::vector<std::uint8_t>>{image}, fetch_bytes);
        listing = list_image(kind == 0 ? image_kind::iso : image_kind::raw_bin, *files);
    }
    require(listing.error.empty() || listing.entries.empty());
    require(listing.entries.size() <= max_disc_entries + 99);
    for (const disc_entry& entry : listing.entries) {
        require(safe_path(entry.path));
        const std::unique_ptr<byte_source> source = open_entry(*files, entry);
        if (entry.kind == entry_kind::unread) {
            require(!source && !entry.reason.empty());
            continue;
        }
        require(source != nullptr);
        const std::uint64_t bound =
            entry.kind == entry_kind::audio_track ? entry.size : sector_file_bound(entry.where, entry.size);
        std::uint64_t read = 0;
        for (fetch_result next = source->fetch(); next.status == fetch_status::ok && !next.bytes.empty();
             next = source->fetch()) {
            read += next.bytes.size();
            require(read <= bound);
        }
    }
    return 0;
}
