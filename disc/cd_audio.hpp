#pragma once

#include "streams.hpp"
#include "wav_output.hpp"

#include <cstdint>

// A CD audio track as a WAV file: 44,100 samples per second, stereo, 16-bit,
// the canonical 44-byte header, then the track's bytes as they are (a CD
// audio sector is 588 stereo frames of 16-bit little-endian samples).
inline constexpr pcm_format cd_audio_format{2, 44100};

enum class [[nodiscard]] copy_outcome{done, read_failed, write_failed};

// The header for `length` bytes, then exactly that many from `track`.
copy_outcome write_cd_audio(byte_source& track, std::uint64_t length, byte_sink& out);
