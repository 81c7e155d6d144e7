#pragma once

#include "streams.hpp"

#include <array>
#include <cstddef>
#include <cstdint>

// A CD audio track as a WAV file: 44,100 samples per second, stereo, 16-bit,
// the canonical 44-byte header, then the track's bytes as they are (a CD
// audio sector is 588 stereo frames of 16-bit little-endian samples).
inline constexpr std::size_t cd_audio_header_bytes = 44;
inline constexpr std::uint32_t cd_audio_rate = 44100;
inline constexpr std::uint32_t cd_audio_frame_bytes = 4;
// The RIFF size (the data and 36 bytes) is a 32-bit field.
inline constexpr std::uint64_t cd_audio_most_bytes = 0xFFFFFFFFU - 36;

using cd_audio_header = std::array<std::uint8_t, cd_audio_header_bytes>;
static_assert(sizeof(cd_audio_header) == 44);

[[nodiscard]] cd_audio_header make_cd_audio_header(std::uint32_t data_bytes);

enum class [[nodiscard]] copy_outcome { done, read_failed, write_failed };

// The header for `length` bytes, then exactly that many from `track`.
copy_outcome write_cd_audio(byte_source& track, std::uint64_t length, byte_sink& out);
