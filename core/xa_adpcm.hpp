#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

// XA-ADPCM, the sound of CD-ROM XA audio sectors: 2304 bytes a sector, in 18
// sound groups of 128 bytes. A group holds 8 sound units of 4-bit codes or 4
// of 8-bit codes, 28 samples each, with a header byte per unit (shift and
// filter) at 4 + unit and every unit's sample j in the 32-bit word at
// 16 + 4 j.
inline constexpr std::size_t xa_group_bytes = 128;
inline constexpr std::size_t xa_groups_per_sector = 18;
inline constexpr std::size_t xa_sector_sound_bytes = xa_groups_per_sector * xa_group_bytes;
inline constexpr std::size_t xa_samples_per_unit = 28;
// 8 units of 28 4-bit samples; 8-bit groups hold half as many.
inline constexpr std::size_t xa_max_group_samples = 8 * xa_samples_per_unit;
inline constexpr std::size_t xa_max_sector_samples = xa_groups_per_sector * xa_max_group_samples;

// How a sector's sound is coded, from its subheader's coding byte.
struct xa_coding {
    bool stereo;
    bool eight_bit;
};

// The last two samples of one channel as decoded, clamped: XA predicts from
// what it played. Each (file, channel) stream keeps its own, and a stereo
// stream one for each side.
struct xa_channel_state {
    std::int32_t old = 0;
    std::int32_t older = 0;
};

using xa_stream_state = std::array<xa_channel_state, 2>; // left (or mono), right

// Decodes one sound group into `out`, stereo as left and right in turn, and
// runs the state on; gives the count of samples written (224 or 112).
std::size_t decode_xa_group(std::span<const std::uint8_t, xa_group_bytes> group, xa_coding coding,
                            xa_stream_state& state, std::span<std::int16_t, xa_max_group_samples> out);

// Decodes a sector's 18 groups in order; gives the count of samples written
// (4032 or 2016).
std::size_t decode_xa_sector(std::span<const std::uint8_t, xa_sector_sound_bytes> sound, xa_coding coding,
                             xa_stream_state& state, std::span<std::int16_t, xa_max_sector_samples> out);
