#include "wav_reading.hpp"

#include <algorithm>

std::uint32_t le32(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    return std::uint32_t{bytes[offset]} | std::uint32_t{bytes[offset + 1]} << 8U |
           std::uint32_t{bytes[offset + 2]} << 16U | std::uint32_t{bytes[offset + 3]} << 24U;
}

bool has_wav_header(std::span<const std::uint8_t> wav, sample_rate rate)
{
    if (wav.size() < wav_header_bytes) {
        return false;
    }
    wav_header expected = make_wav_header(rate);
    for (const std::size_t offset : {riff_size_offset, sample_count_offset, data_size_offset}) {
        std::copy_n(wav.begin() + static_cast<std::ptrdiff_t>(offset), 4,
                    expected.begin() + static_cast<std::ptrdiff_t>(offset));
    }
    return std::equal(expected.begin(), expected.end(), wav.begin());
}

std::vector<std::int16_t> samples_of(std::span<const std::uint8_t> wav)
{
    std::vector<std::int16_t> samples;
    for (std::size_t i = wav_header_bytes; i + 1 < wav.size(); i += 2) {
        samples.push_back(static_cast<std::int16_t>(wav[i] | wav[i + 1] << 8U));
    }
    return samples;
}

std::optional<wav_contents> read_wav(std::span<const std::uint8_t> wav)
{
    if (!has_wav_header(wav, sample_rate::hz11025) && !has_wav_header(wav, sample_rate::hz22050)) {
        return std::nullopt;
    }
    return wav_contents{le32(wav, riff_size_offset), le32(wav, 24),  le32(wav, 28), le32(wav, sample_count_offset),
                        le32(wav, data_size_offset), samples_of(wav)};
}
