#include "xa_adpcm.hpp"

#include <algorithm>

namespace {

// Prediction weights in 64ths: of the last sample, and of the one before.
struct xa_filter {
    std::int32_t k0;
    std::int32_t k1;
};

// XA masks the filter to two bits: the SPU's fifth filter never occurs.
constexpr std::array<xa_filter, 4> xa_filters{{{0, 0}, {60, 0}, {115, -52}, {98, -55}}};

constexpr std::size_t header_offset = 4;
constexpr std::size_t data_offset = 16;

// A unit's header: its shift (13 to 15 act as 9, as the hardware does) and
// its filter.
struct unit_header {
    unsigned shift;
    xa_filter filter;
};

unit_header header_of(std::uint8_t header)
{
    const unsigned shift = header & 0x0FU;
    return {shift > 12 ? 9U : shift, xa_filters[(header >> 4U) & 0x03U]};
}

// The code of unit `unit` for sample `j`, widened to 16 bits and shifted:
// a nibble (even units the low one) or a byte of word j.
template <bool eight_bit>
std::int32_t scaled_code(std::span<const std::uint8_t, xa_group_bytes> group, std::size_t unit, std::size_t j,
                         unsigned shift)
{
    if constexpr (eight_bit) {
        const auto code = static_cast<std::int8_t>(group[data_offset + 4 * j + unit]);
        return (std::int32_t{code} * 256) >> shift;
    } else {
        const std::uint8_t byte = group[data_offset + 4 * j + unit / 2];
        const auto nibble_on_top =
            static_cast<std::uint8_t>(unit % 2 == 0 ? unsigned{byte} << 4U : unsigned{byte} & 0xF0U);
        // The nibble in the top of a byte: sign-extended, it is the code times 16.
        return (std::int32_t{static_cast<std::int8_t>(nibble_on_top)} * 256) >> shift;
    }
}

// One unit's 28 samples into every `stride`th place of `out`. The prediction
// adds 32 and shifts right by 6 (an arithmetic shift: it floors), and the
// clamped sample is what the next one is predicted from.
template <bool eight_bit>
void decode_unit(std::span<const std::uint8_t, xa_group_bytes> group, std::size_t unit, xa_channel_state& state,
                 std::int16_t* out, std::size_t stride)
{
    const unit_header header = header_of(group[header_offset + unit]);
    std::int32_t old = state.old;
    std::int32_t older = state.older;
    for (std::size_t j = 0; j < xa_samples_per_unit; ++j) {
        const std::int32_t predicted = (header.filter.k0 * old + header.filter.k1 * older + 32) >> 6;
        const std::int32_t sample = std::clamp(scaled_code<eight_bit>(group, unit, j, header.shift) + predicted,
                                               std::int32_t{-32768}, std::int32_t{32767});
        older = old;
        old = sample;
        out[j * stride] = static_cast<std::int16_t>(sample);
    }
    state.old = old;
    state.older = older;
}

template <bool eight_bit>
std::size_t decode_group(std::span<const std::uint8_t, xa_group_bytes> group, bool stereo, xa_stream_state& state,
                         std::span<std::int16_t, xa_max_group_samples> out)
{
    constexpr std::size_t units = eight_bit ? 4 : 8;
    if (!stereo) {
        for (std::size_t unit = 0; unit < units; ++unit) {
            decode_unit<eight_bit>(group, unit, state[0], out.data() + unit * xa_samples_per_unit, 1);
        }
        return units * xa_samples_per_unit;
    }
    // Even units are the left side, odd ones the right, a pair at a time.
    for (std::size_t unit = 0; unit < units; unit += 2) {
        std::int16_t* frames = out.data() + unit * xa_samples_per_unit;
        decode_unit<eight_bit>(group, unit, state[0], frames, 2);
        decode_unit<eight_bit>(group, unit + 1, state[1], frames + 1, 2);
    }
    return units * xa_samples_per_unit;
}

} // namespace

std::size_t decode_xa_group(std::span<const std::uint8_t, xa_group_bytes> group, xa_coding coding,
                            xa_stream_state& state, std::span<std::int16_t, xa_max_group_samples> out)
{
    return coding.eight_bit ? decode_group<true>(group, coding.stereo, state, out)
                            : decode_group<false>(group, coding.stereo, state, out);
}

std::size_t decode_xa_sector(std::span<const std::uint8_t, xa_sector_sound_bytes> sound, xa_coding coding,
                             xa_stream_state& state, std::span<std::int16_t, xa_max_sector_samples> out)
{
    std::size_t written = 0;
    for (std::size_t g = 0; g < xa_groups_per_sector; ++g) {
        written += decode_xa_group(sound.subspan(g * xa_group_bytes).first<xa_group_bytes>(), coding, state,
                                   out.subspan(written).first<xa_max_group_samples>());
    }
    return written;
}
