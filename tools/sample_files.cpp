#include "sample_files.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <numbers>
#include <random>

namespace {

struct note {
    double frequency;
    double start;    // seconds
    double duration; // seconds
};

// A soft plucked tone: a few harmonics under a quick attack and an
// exponential decay.
void add_note(std::vector<double>& mix, std::uint32_t rate, const note& n, double loudness)
{
    const auto first = static_cast<std::size_t>(n.start * rate);
    const auto count = static_cast<std::size_t>(n.duration * rate);
    for (std::size_t i = 0; i < count && first + i < mix.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        const double attack = std::min(1.0, t / 0.01);
        const double envelope = attack * std::exp(-3.0 * t / n.duration);
        const double phase = 2.0 * std::numbers::pi * n.frequency * t;
        const double tone = std::sin(phase) + 0.35 * std::sin(2 * phase) + 0.15 * std::sin(3 * phase);
        mix[first + i] += loudness * envelope * tone;
    }
}

std::vector<std::int16_t> to_samples(const std::vector<double>& mix)
{
    std::vector<std::int16_t> samples(mix.size());
    for (std::size_t i = 0; i < mix.size(); ++i) {
        samples[i] = static_cast<std::int16_t>(std::lround(std::clamp(mix[i], -1.0, 1.0) * 32767.0));
    }
    return samples;
}

double semitones_from_a4(int semitones)
{
    return 440.0 * std::pow(2.0, semitones / 12.0);
}

} // namespace

std::vector<std::int16_t> make_melody(std::uint32_t rate)
{
    // The opening phrase of the "Ode to Joy", in semitones from A4.
    constexpr std::array<int, 15> phrase{-5, -5, -4, -2, -2, -4, -5, -7, -9, -9, -7, -5, -5, -7, -7};
    constexpr double beat = 0.3;
    std::vector<double> mix(static_cast<std::size_t>((phrase.size() + 2) * beat * rate));
    for (std::size_t i = 0; i < phrase.size(); ++i) {
        const bool last = i + 1 == phrase.size();
        add_note(mix, rate, {semitones_from_a4(phrase[i]), static_cast<double>(i) * beat, last ? 3 * beat : beat},
                 0.45);
    }
    return to_samples(mix);
}

std::vector<std::int16_t> make_chord(std::uint32_t rate)
{
    // C major, spread upwards and then held together.
    constexpr std::array<int, 4> chord{-21, -17, -14, -9};
    std::vector<double> mix(static_cast<std::size_t>(3.0 * rate));
    for (std::size_t i = 0; i < chord.size(); ++i) {
        add_note(mix, rate, {semitones_from_a4(chord[i]), 0.12 * static_cast<double>(i), 2.5}, 0.2);
    }
    return to_samples(mix);
}

void append_chunk_header(std::vector<std::uint8_t>& file, std::string_view tag, std::uint32_t size)
{
    for (const char c : tag.substr(0, 4)) {
        file.push_back(static_cast<std::uint8_t>(c));
    }
    for (int shift = 24; shift >= 0; shift -= 8) {
        file.push_back(static_cast<std::uint8_t>(size >> static_cast<unsigned>(shift)));
    }
}

void append_chunk(std::vector<std::uint8_t>& file, std::string_view tag, std::span<const std::uint8_t> payload)
{
    append_chunk_header(file, tag, static_cast<std::uint32_t>(payload.size() + 8));
    file.insert(file.end(), payload.begin(), payload.end());
}

std::vector<adpcm_block> random_blocks(std::size_t count, std::uint32_t seed, std::optional<unsigned> filterid)
{
    std::mt19937 random{seed};
    std::vector<adpcm_block> blocks(count);
    for (adpcm_block& block : blocks) {
        for (std::size_t i = 0; i < adpcm_block_bytes; i += 4) {
            const auto bits = static_cast<std::uint32_t>(random());
            for (std::size_t j = 0; j < 4; ++j) {
                block.bytes[i + j] = static_cast<std::uint8_t>(bits >> (8 * j));
            }
        }
        const unsigned filter = filterid.value_or(block.bytes[0] % 5U);
        block.bytes[0] = static_cast<std::uint8_t>(filter << 4U | block.bytes[1] % 13U);
        block.bytes[1] &= 0x07U;
    }
    return blocks;
}

std::vector<std::uint8_t> build_container(std::span<const adpcm_block> blocks, const container_plan& plan)
{
    std::vector<std::uint8_t> file;
    std::size_t next_block = 0;
    std::size_t chunk = 0;
    auto other_chunk = [&] {
        // Stand-in for picture data: anything but a chunk header will do.
        std::vector<std::uint8_t> filler(plan.other_chunk_bytes[chunk % plan.other_chunk_bytes.size()]);
        for (std::size_t i = 0; i < filler.size(); ++i) {
            filler[i] = static_cast<std::uint8_t>(i * 37 + chunk);
        }
        append_chunk(file, "Vi10", filler);
    };
    other_chunk();
    while (next_block < blocks.size()) {
        const std::size_t count =
            std::min(plan.audio_chunk_blocks[chunk % plan.audio_chunk_blocks.size()], blocks.size() - next_block);
        std::vector<std::uint8_t> payload;
        for (const adpcm_block& block : blocks.subspan(next_block, count)) {
            payload.insert(payload.end(), block.bytes.begin(), block.bytes.end());
        }
        append_chunk(file, "Ad10", payload);
        next_block += count;
        ++chunk;
        other_chunk();
    }
    return file;
}

std::vector<std::uint8_t> raw_block_stream(std::span<const adpcm_block> blocks)
{
    std::vector<std::uint8_t> file;
    for (const adpcm_block& block : blocks) {
        file.insert(file.end(), block.bytes.begin(), block.bytes.end());
    }
    return file;
}
