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

// The next sample of a unit: the prediction adds 32 and shifts right by 6
// (an arithmetic shift: it floors), and the clamped sample is what the next
// one is predicted from.
struct unit_decoder {
    unit_header header;
    std::int32_t old;
    std::int32_t older;

    std::int32_t next(std::int32_t code)
    {
        const std::int32_t predicted = (header.filter.k0 * old + header.filter.k1 * older + 32) >> 6;
        std::int32_t sample = code + predicted;
        // A branch, not a select: a sample seldom needs clamping, and a
        // predicted branch keeps the clamp off the chain of samples that
        // each waits on the last.
        if (static_cast<std::uint32_t>(sample + 32768) > 0xFFFFU) [[unlikely]] {
            sample = sample < 0 ? -32768 : 32767;
        }
        older = old;
        old = sample;
        return sample;
    }
};

// One unit's 28 samples, one after another.
template <bool eight_bit>
void decode_unit(std::span<const std::uint8_t, xa_group_bytes> group, std::size_t unit, xa_channel_state& state,
                 std::int16_t* out)
{
    unit_decoder decoder{header_of(group[header_offset + unit]), state.old, state.older};
    for (std::size_t j = 0; j < xa_samples_per_unit; ++j) {
        out[j] = static_cast<std::int16_t>(decoder.next(scaled_code<eight_bit>(group, unit, j, decoder.header.shift)));
    }
    state = {decoder.old, decoder.older};
}

// A left unit and the right one beside it, as 28 frames: the two sides
// depend on nothing of each other, so they are decoded side by side.
template <bool eight_bit>
void decode_unit_pair(std::span<const std::uint8_t, xa_group_bytes> group, std::size_t unit, xa_stream_state& state,
                      std::int16_t* frames)
{
    unit_decoder left{header_of(group[header_offset + unit]), state[0].old, state[0].older};
    unit_decoder right{header_of(group[header_offset + unit + 1]), state[1].old, state[1].older};
    for (std::size_t j = 0; j < xa_samples_per_unit; ++j) {
        frames[2 * j] = static_cast<std::int16_t>(left.next(scaled_code<eight_bit>(group, unit, j, left.header.shift)));
        frames[2 * j + 1] =
            static_cast<std::int16_t>(right.next(scaled_code<eight_bit>(group, unit + 1, j, right.header.shift)));
    }
    state[0] = {left.old, left.older};
    state[1] = {right.old, right.older};
}

template <bool eight_bit>
std::size_t decode_group(std::span<const std::uint8_t, xa_group_bytes> group, bool stereo, xa_stream_state& state,
                         std::span<std::int16_t, xa_max_group_samples> out)
{
    constexpr std::size_t units = eight_bit ? 4 : 8;
    if (!stereo) {
        for (std::size_t unit = 0; unit < units; ++unit) {
            decode_unit<eight_bit>(group, unit, state[0], out.data() + unit * xa_samples_per_unit);
        }
        return units * xa_samples_per_unit;
    }
    // Even units are the left side, odd ones the right, a pair at a time.
    for (std::size_t unit = 0; unit < units; unit += 2) {
        decode_unit_pair<eight_bit>(group, unit, state, out.data() + unit * xa_samples_per_unit);
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
