#include "xa_sectors.hpp"

#include <algorithm>
#include <array>

namespace {

constexpr std::size_t raw_bytes = raw_form_sector_bytes;
constexpr std::size_t headless_bytes = headless_form_sector_bytes;
constexpr std::size_t raw_subheader_at = 16; // after the sync and the header

constexpr std::array<std::uint8_t, 12> sync{0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};

// Submode bits.
constexpr std::uint8_t audio = 0x04;
constexpr std::uint8_t form2 = 0x20;
constexpr std::uint8_t real_time = 0x40;
constexpr std::uint8_t end_of_file = 0x80;

bool has_sync(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return at + sync.size() <= bytes.size() &&
           std::equal(sync.begin(), sync.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
}

bool copies_equal(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return at + 8 <= bytes.size() && std::equal(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                                                bytes.begin() + static_cast<std::ptrdiff_t>(at + 4),
                                                bytes.begin() + static_cast<std::ptrdiff_t>(at + 4));
}

// Whether `test` holds at every sector of `bytes` from `first`, and at least
// at one.
template <typename test_at>
bool every_sector(std::span<const std::uint8_t> bytes, std::size_t first, std::size_t sector_bytes, test_at test)
{
    std::size_t seen = 0;
    for (std::size_t at = first; at < bytes.size() && seen < sectors_to_recognise; at += sector_bytes, ++seen) {
        if (!test(at)) {
            return false;
        }
    }
    return seen > 0;
}

} // namespace

sector_layout_of_file recognise_sector_form(std::span<const std::uint8_t> start, std::uint64_t file_size)
{
    const auto is = [&](std::size_t at, const char* tag) {
        return at + 4 <= start.size() && std::equal(tag, tag + 4, start.begin() + static_cast<std::ptrdiff_t>(at));
    };
    if (is(0, "RIFF") && is(8, "CDXA") && file_size > cdxa_header_bytes && has_sync(start, cdxa_header_bytes)) {
        return {sector_form::cdxa, cdxa_header_bytes, raw_bytes};
    }
    if (file_size >= raw_bytes &&
        every_sector(start, 0, raw_bytes, [&](std::size_t at) { return has_sync(start, at); })) {
        return {sector_form::raw, 0, raw_bytes};
    }
    // Subheaders whose copies agree, and one at least of a channel 0-31 and
    // of a video, audio or data sector (gaps may have neither).
    const auto typed_at = [&](std::size_t at) { return start[at + 1] <= 31 && (start[at + 2] & 0x0EU) != 0; };
    bool typed = false;
    const auto subheader_at = [&](std::size_t at) {
        typed = typed || (copies_equal(start, at) && typed_at(at));
        return copies_equal(start, at);
    };
    if (file_size >= headless_bytes && every_sector(start, 0, headless_bytes, subheader_at) && typed) {
        return {sector_form::raw_2336, 0, headless_bytes};
    }
    return {sector_form::none, 0, 0};
}

std::optional<xa_audio_sector> read_xa_audio_sector(std::span<const std::uint8_t> sector, sector_form form)
{
    const bool headless = form == sector_form::raw_2336;
    if (sector.size() != (headless ? headless_bytes : raw_bytes) || form == sector_form::none ||
        (!headless && sector[15] != 2)) {
        return std::nullopt;
    }
    const std::size_t at = headless ? 0 : raw_subheader_at;
    const std::uint8_t file = sector[at];
    const std::uint8_t channel = sector[at + 1];
    const std::uint8_t submode = sector[at + 2];
    const std::uint8_t coding = sector[at + 3];
    const bool audio_sector = (submode & (audio | real_time | form2)) == (audio | real_time | form2);
    // Reserved: channels or rate values 2-3, bits per sample 2-3, bit 7.
    const bool reserved =
        (coding & 0x02U) != 0 || (coding & 0x08U) != 0 || (coding & 0x20U) != 0 || (coding & 0x80U) != 0;
    if (!audio_sector || channel > 31 || reserved || !copies_equal(sector, at)) {
        return std::nullopt;
    }
    return xa_audio_sector{file,
                           channel,
                           {(coding & 0x01U) != 0, (coding & 0x10U) != 0},
                           (coding & 0x04U) != 0,
                           (submode & end_of_file) != 0,
                           sector.subspan(at + 8).first<xa_sector_sound_bytes>()};
}
