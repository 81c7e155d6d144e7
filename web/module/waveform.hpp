#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

// The smallest and largest sample of each stretch of the sound, for the
// page's picture: at most `columns` stretches of equal length, long enough
// for the most samples the input can give.
struct waveform_outline {
    static constexpr std::size_t columns = 2048;

    std::uint64_t samples = 0; // every sample written, whether outlined or not
    std::size_t columns_used = 0;
    std::array<std::int16_t, columns> low{};
    std::array<std::int16_t, columns> high{};
};

class outline_builder {
public:
    explicit outline_builder(std::uint64_t max_samples);

    // Samples as the WAV file holds them; whole ones, since every header and
    // every block are of even length.
    void add(std::span<const std::uint8_t> bytes);

    [[nodiscard]] const waveform_outline& outline() const { return outline_; }

private:
    std::uint64_t per_column_;
    std::uint64_t seen_ = 0;
    waveform_outline outline_;
};
