#pragma once

// The sectors of XA audio: how a file holds them, and which of them are XA
// sound, of which stream, coded how.
#include "xa_adpcm.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

// How a loose file holds whole sectors: raw 2352-byte sectors, the same
// behind a RIFF "CDXA" header of 44 bytes, or 2336-byte sectors (raw ones
// without their sync and header); or none of these (its sectors' subheaders
// are lost, and XA sound with them).
enum class sector_form : std::uint8_t { raw, cdxa, raw_2336, none };

struct sector_layout_of_file {
    sector_form form;
    std::uint64_t first;      // where the first sector begins
    std::size_t sector_bytes; // 2352 or 2336
};

inline constexpr std::size_t raw_form_sector_bytes = 2352;
inline constexpr std::size_t headless_form_sector_bytes = 2336;
inline constexpr std::size_t cdxa_header_bytes = 44;
inline constexpr std::size_t sectors_to_recognise = 4;

// The form of a file of `file_size` bytes from its first bytes (up to
// `sectors_to_recognise` sectors of them are looked at): the CDXA header at 0,
// the sync pattern at 0 and every 2352 bytes, or equal subheader copies at 0
// and 4 every 2336 bytes.
[[nodiscard]] sector_layout_of_file recognise_sector_form(std::span<const std::uint8_t> start, std::uint64_t file_size);

// An XA audio sector as its subheader gives it.
struct xa_audio_sector {
    std::uint8_t file;
    std::uint8_t channel;
    xa_coding coding;
    bool half_rate;   // 18,900 samples per second rather than 37,800
    bool end_of_file; // the last sector of its file (submode bit 7)
    std::span<const std::uint8_t, xa_sector_sound_bytes> sound;
};

// The sector, 2352 or 2336 bytes as `form` stores it, as an XA audio sector,
// or nothing where it is not one: not Mode 2 (raw), without both the audio
// and real-time submode bits, not Form 2, of a channel past 31 (a gap), with
// reserved coding values, or with subheader copies that differ.
[[nodiscard]] std::optional<xa_audio_sector> read_xa_audio_sector(std::span<const std::uint8_t> sector,
                                                                  sector_form form);

// Samples per second of a sector's sound.
[[nodiscard]] constexpr std::uint32_t xa_rate(bool half_rate)
{
    return half_rate ? 18900 : 37800;
}
