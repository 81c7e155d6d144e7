#include "waveform.hpp"

#include <algorithm>
#include <cstring>

outline_builder::outline_builder(std::uint64_t max_samples)
    : per_column_{std::max<std::uint64_t>(1, (max_samples + waveform_outline::columns - 1) / waveform_outline::columns)}
{
}

void outline_builder::add(std::span<const std::uint8_t> bytes)
{
    outline_.samples += bytes.size() / 2;
    while (bytes.size() >= 2) {
        const auto column = static_cast<std::size_t>(seen_ / per_column_);
        if (column >= waveform_outline::columns) {
            return;
        }
        const std::uint64_t in_column = seen_ % per_column_;
        const auto take = static_cast<std::size_t>(std::min<std::uint64_t>(bytes.size() / 2, per_column_ - in_column));
        std::int16_t low = in_column == 0 ? INT16_MAX : outline_.low[column];
        std::int16_t high = in_column == 0 ? INT16_MIN : outline_.high[column];
        // WebAssembly is little-endian, as the WAV data is: the samples are
        // read as they lie, which lets the loop work 8 at a time.
        for (std::size_t i = 0; i < take; ++i) {
            std::int16_t sample = 0;
            std::memcpy(&sample, bytes.data() + 2 * i, sizeof sample);
            low = std::min(low, sample);
            high = std::max(high, sample);
        }
        outline_.low[column] = low;
        outline_.high[column] = high;
        outline_.columns_used = column + 1;
        seen_ += take;
        bytes = bytes.subspan(2 * take);
    }
}
