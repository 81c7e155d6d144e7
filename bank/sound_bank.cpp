#include "sound_bank.hpp"

#include "byte_order.hpp"

#include <cmath>
#include <optional>

namespace {

// Header fields.
constexpr std::size_t recorded_size_at = 0x0C;
constexpr std::size_t program_count_at = 0x12;
constexpr std::size_t program_table_at = bank_header_bytes;
constexpr std::size_t tone_blocks_at = program_table_at + bank_program_table_bytes;

// Tone fields, in a tone's 32 bytes.
constexpr std::size_t tone_bytes = 32;
constexpr std::size_t tones_per_block = 16;
constexpr std::size_t tone_centre_at = 0x04;
constexpr std::size_t tone_fine_tune_at = 0x05;
constexpr std::size_t tone_program_at = 0x14;
constexpr std::size_t tone_sample_at = 0x16;

std::uint64_t header_bytes_for(std::uint64_t programs)
{
    return tone_blocks_at + programs * bank_tone_block_bytes + bank_size_table_bytes;
}

std::uint64_t body_bytes_at(std::span<const std::uint8_t> header, std::size_t table_at)
{
    std::uint64_t body = 0;
    for (std::size_t n = 0; n < bank_size_table_bytes / 2; ++n) {
        body += 8 * std::uint64_t{read_le16(header, table_at + 2 * n)};
    }
    return body;
}

// The program count that makes the sizes add up, the field's value first.
std::optional<std::uint64_t> program_count(std::span<const std::uint8_t> header, std::uint64_t total_bytes)
{
    const std::uint64_t field = read_le16(header, program_count_at);
    for (const std::uint64_t programs : {field, field + 1}) {
        const std::uint64_t header_size = header_bytes_for(programs);
        if (programs > max_bank_programs || header_size > header.size()) {
            continue;
        }
        const std::uint64_t total =
            header_size + body_bytes_at(header, static_cast<std::size_t>(header_size) - bank_size_table_bytes);
        if (total == read_le32(header, recorded_size_at) && total == total_bytes) {
            return programs;
        }
    }
    return std::nullopt;
}

// Each sample's rate from the first tone that plays it, in program and slot
// order; a tone plays when it is among its program's tones and names a
// sample.
std::vector<std::uint32_t> sample_rates(std::span<const std::uint8_t> header, std::uint64_t programs)
{
    std::vector<std::uint32_t> rates(bank_size_table_bytes / 2, 0);
    for (std::size_t block = 0; block < programs; ++block) {
        for (std::size_t slot = 0; slot < tones_per_block; ++slot) {
            const std::span<const std::uint8_t> tone =
                header.subspan(tone_blocks_at + block * bank_tone_block_bytes + slot * tone_bytes, tone_bytes);
            const std::uint32_t program = read_le16(tone, tone_program_at);
            const std::uint32_t sample = read_le16(tone, tone_sample_at);
            const bool among_tones = program < max_bank_programs && slot < header[program_table_at + 16 * program];
            if (among_tones && sample >= 1 && sample < rates.size() && rates[sample] == 0) {
                rates[sample] = rate_at_middle_c(tone[tone_centre_at], tone[tone_fine_tune_at]);
            }
        }
    }
    return rates;
}

} // namespace

bool starts_with_bank(std::span<const std::uint8_t> bytes)
{
    return bytes.size() >= 4 && bytes[0] == 'p' && bytes[1] == 'B' && bytes[2] == 'A' && bytes[3] == 'V';
}

std::uint32_t rate_at_middle_c(std::uint8_t centre, std::uint8_t fine_tune)
{
    const double semitones = 60.0 - centre - fine_tune / 128.0;
    return static_cast<std::uint32_t>(std::lround(44100.0 * std::exp2(semitones / 12.0)));
}

bank_contents read_bank_header(std::span<const std::uint8_t> header, std::uint64_t total_bytes)
{
    if (header.size() < header_bytes_for(1) - bank_tone_block_bytes || !starts_with_bank(header)) {
        return {0, 0, {}, "not a sound bank's header"};
    }
    const std::optional<std::uint64_t> programs = program_count(header, total_bytes);
    if (!programs) {
        return {0, 0, {}, "a sound bank whose sizes do not add up to its files"};
    }
    bank_contents contents{header_bytes_for(*programs), 0, {}, {}};
    const auto table_at = static_cast<std::size_t>(contents.header_bytes) - bank_size_table_bytes;
    contents.body_bytes = body_bytes_at(header, table_at);
    const std::vector<std::uint32_t> rates = sample_rates(header, *programs);
    std::uint64_t offset = 0;
    for (std::size_t n = 0; n < rates.size(); ++n) {
        const std::uint64_t bytes = 8 * std::uint64_t{read_le16(header, table_at + 2 * n)};
        if (bytes > 0) {
            contents.samples.push_back({n, offset, bytes, rates[n] != 0 ? rates[n] : bank_unplayed_rate});
        }
        offset += bytes;
    }
    return contents;
}
