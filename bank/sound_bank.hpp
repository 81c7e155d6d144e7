#pragma once

// Sound banks: a .VH header and a .VB body, or one .VAB holding both; the
// body is SPU-ADPCM samples back to back, which the header's size table
// locates. All fields are little-endian.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

inline constexpr std::size_t bank_header_bytes = 32;
inline constexpr std::size_t bank_program_table_bytes = 0x800; // 128 programs of 16 bytes
inline constexpr std::size_t bank_tone_block_bytes = 0x200;    // 16 tones of 32 bytes, a program
inline constexpr std::size_t bank_size_table_bytes = 0x200;    // 256 sizes of 16 bits, in 8-byte units
inline constexpr std::size_t max_bank_programs = 128;
// The most a header can take: every program's tones.
inline constexpr std::size_t max_bank_header_bytes =
    bank_header_bytes + bank_program_table_bytes + max_bank_programs * bank_tone_block_bytes + bank_size_table_bytes;

// A sample no tone plays gets this rate, as the sound processor's pitch 0x1000.
inline constexpr std::uint32_t bank_unplayed_rate = 44100;

// Whether the bytes begin with "pBAV".
[[nodiscard]] bool starts_with_bank(std::span<const std::uint8_t> bytes);

struct bank_sample {
    std::size_t number;   // its number in the size table, as the bank's tones name it
    std::uint64_t offset; // where it begins in the body
    std::uint64_t bytes;
    std::uint32_t rate; // the rate at which MIDI note 60 sounds (below)
};

struct bank_contents {
    std::uint64_t header_bytes = 0; // the .VH's bytes: where a .VAB's body begins
    std::uint64_t body_bytes = 0;
    std::vector<bank_sample> samples; // every sample of the size table with bytes, in the body
    std::string error;                // why the bank cannot be read; empty when it can
};

// Reads the header from `header` (at least its first bytes up to the size
// table; max_bank_header_bytes are enough) of a bank whose files hold
// `total_bytes` in all: the .VAB, or the .VH and the .VB together.
//
// The program count's field says the count, or the count less one: the
// count that makes the header and the body add up to the bank's recorded
// size and to `total_bytes` is taken, the field's own value first.
//
// A bank stores no rate: a tone has a centre note and a fine tune. Each
// sample is given the rate at which its first tone (in program and slot
// order) sounds MIDI note 60, taking pitch 0x1000 (44,100 Hz) to sound the
// centre note raised by fine tune / 128 of a semitone:
// 44100 x 2^((60 - centre - fine / 128) / 12), to the nearest hertz.
[[nodiscard]] bank_contents read_bank_header(std::span<const std::uint8_t> header, std::uint64_t total_bytes);

// The same rate for one tone.
[[nodiscard]] std::uint32_t rate_at_middle_c(std::uint8_t centre, std::uint8_t fine_tune);
