#pragma once

// What every fuzz target checks after driving an input stage from memory.
// A broken invariant aborts, which both libFuzzer and the corpus replay
// report as a crash with the input that caused it.

#include "conversion_run.hpp"
#include "support/memory_streams.hpp"
#include "support/reference_decoding.hpp"
#include "support/wav_reading.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

inline void require(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

// The first two bytes of a fuzz input shape the streams: how many bytes a
// fetch hands out (0: all at once), how many blocks the WAV output collects
// before each write (the low nibble of the second byte, plus 1), and where
// reading starts to fail (its high nibble: 15 never, otherwise that many
// 16ths of the file). The rest is the file.
struct fuzz_input {
    std::span<const std::uint8_t> file;
    stream_shape shape;
};

inline bool split_fuzz_input(const std::uint8_t* data, std::size_t size, fuzz_input& input)
{
    if (size < 2) {
        return false;
    }
    input.file = {data + 2, size - 2};
    input.shape.fetch_bytes = data[0] == 0 ? memory_source::never : data[0];
    input.shape.pending_blocks = (data[1] & 0x0FU) + 1U;
    const unsigned fail_sixteenths = data[1] >> 4U;
    input.shape.fail_at = fail_sixteenths == 15 ? memory_source::never : input.file.size() * fail_sixteenths / 16;
    return true;
}

// A header for `rate` and whole blocks after it, with the three sizes
// agreeing with the length.
inline void require_valid_wav(const std::vector<std::uint8_t>& wav, sample_rate rate)
{
    require(has_wav_header(wav, rate) && (wav.size() - wav_header_bytes) % pcm_block_bytes == 0);
    require(le32(wav, riff_size_offset) == wav.size() - 8);
    require(le32(wav, data_size_offset) == wav.size() - wav_header_bytes);
    require(le32(wav, sample_count_offset) == (wav.size() - wav_header_bytes) / 2);
}

// Runs `stage` over the input as run_conversion would, and checks what must
// hold for any input: a bounded number of calls into the source, a WAV file
// of a header and whole blocks, no more blocks than the file holds, and
// header sizes that agree with the length.
inline stage_run run_stage_checked(input_stage_routine stage, const fuzz_input& input)
{
    const stage_run run = stage_in_memory(stage, input.file, input.shape);
    require(run.outcome == stage_outcome::finished || run.outcome == stage_outcome::read_failed);
    require(run.wav_finished);
    require(run.fetches <= input.file.size() + input.file.size() / 8 + 3);
    require_valid_wav(run.wav, sample_rate::hz22050);
    require((run.wav.size() - wav_header_bytes) / pcm_block_bytes <= input.file.size() / adpcm_block_bytes);
    return run;
}

// A finished stage wrote exactly the samples and messages that these blocks
// give; a stage stopped by a failed read, a prefix of the samples.
inline void require_output(const stage_run& run, std::span<const adpcm_block> blocks, const std::string& stage_messages)
{
    const decoded_blocks expected = decode_all(blocks);
    const std::vector<std::int16_t> written = run.samples();
    if (run.outcome == stage_outcome::finished) {
        require(written == expected.samples);
        require(run.messages == "Decompressing...\r\n" + expected.messages + stage_messages);
    } else {
        require(written.size() <= expected.samples.size() &&
                std::equal(written.begin(), written.end(), expected.samples.begin()));
    }
}
