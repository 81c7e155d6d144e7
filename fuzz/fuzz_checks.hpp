#pragma once

// What every fuzz target checks after driving an input stage from memory.
// A broken invariant aborts, which both libFuzzer and the corpus replay
// report as a crash with the input that caused it.

#include "conversion_run.hpp"
#include "support/memory_streams.hpp"
#include "support/reference_decoding.hpp"

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
    std::size_t fetch_bytes;
    std::size_t pending_blocks;
    std::size_t fail_at;
};

inline bool split_fuzz_input(const std::uint8_t* data, std::size_t size, fuzz_input& input)
{
    if (size < 2) {
        return false;
    }
    input.file = {data + 2, size - 2};
    input.fetch_bytes = data[0] == 0 ? memory_source::never : data[0];
    input.pending_blocks = (data[1] & 0x0FU) + 1U;
    const unsigned fail_sixteenths = data[1] >> 4U;
    input.fail_at = fail_sixteenths == 15 ? memory_source::never : input.file.size() * fail_sixteenths / 16;
    return true;
}

struct stage_result {
    stage_outcome outcome;
    std::vector<std::uint8_t> wav;
    std::string messages;
};

inline std::uint32_t le32(const std::vector<std::uint8_t>& bytes, std::size_t offset)
{
    return std::uint32_t{bytes[offset]} | std::uint32_t{bytes[offset + 1]} << 8U |
           std::uint32_t{bytes[offset + 2]} << 16U | std::uint32_t{bytes[offset + 3]} << 24U;
}

// A header for `rate` and whole blocks after it, with the three sizes
// agreeing with the length.
inline void require_valid_wav(const std::vector<std::uint8_t>& wav, sample_rate rate)
{
    require(wav.size() >= wav_header_bytes && (wav.size() - wav_header_bytes) % pcm_block_bytes == 0);
    wav_header expected = make_wav_header(rate);
    for (const std::size_t offset : {riff_size_offset, sample_count_offset, data_size_offset}) {
        std::copy_n(wav.begin() + static_cast<std::ptrdiff_t>(offset), 4,
                    expected.begin() + static_cast<std::ptrdiff_t>(offset));
    }
    require(std::equal(expected.begin(), expected.end(), wav.begin()));
    require(le32(wav, riff_size_offset) == wav.size() - 8);
    require(le32(wav, data_size_offset) == wav.size() - wav_header_bytes);
    require(le32(wav, sample_count_offset) == (wav.size() - wav_header_bytes) / 2);
}

// Runs `stage` over the input as run_conversion would, and checks what must
// hold for any input: a bounded number of calls into the source, a WAV file
// of a header and whole blocks, no more blocks than the file holds, and
// header sizes that agree with the length.
inline stage_result run_stage_checked(input_stage_routine stage, const fuzz_input& input)
{
    memory_source source{input.file, input.fetch_bytes, input.fail_at};
    memory_sink sink;
    string_console messages;
    wav_output output{sink, input.pending_blocks};
    require(write_wav_header(output, sample_rate::hz22050) == io_status::ok);
    predictor_state state{0, 0};
    input_stream stream{source};
    const stage_outcome outcome = stage(stream, output, state, messages);
    require(outcome == stage_outcome::finished || outcome == stage_outcome::read_failed);
    require(finish_wav(output) == io_status::ok);
    require(source.fetches <= input.file.size() + input.file.size() / 8 + 3);

    const std::vector<std::uint8_t>& wav = sink.bytes;
    require_valid_wav(wav, sample_rate::hz22050);
    require((wav.size() - wav_header_bytes) / pcm_block_bytes <= input.file.size() / adpcm_block_bytes);
    return {outcome, wav, messages.text};
}

// The WAV data and decoder messages that these blocks must give.
inline std::pair<std::vector<std::uint8_t>, std::string> expected_output(std::span<const adpcm_block> blocks)
{
    const decoded_blocks decoded = decode_all(blocks);
    std::vector<std::uint8_t> data;
    for (const std::int16_t sample : decoded.samples) {
        const auto bits = static_cast<std::uint16_t>(sample);
        data.push_back(static_cast<std::uint8_t>(bits));
        data.push_back(static_cast<std::uint8_t>(bits >> 8U));
    }
    return {data, decoded.messages};
}

// A finished stage wrote exactly the expected data; a failed read, a prefix
// of it.
inline void require_output(const stage_result& result, std::span<const adpcm_block> blocks,
                           const std::string& stage_messages)
{
    const auto [data, decoder_messages] = expected_output(blocks);
    const std::span<const std::uint8_t> written = std::span{result.wav}.subspan(wav_header_bytes);
    if (result.outcome == stage_outcome::finished) {
        require(std::equal(written.begin(), written.end(), data.begin(), data.end()));
        require(result.messages == decoder_messages + stage_messages);
    } else {
        require(written.size() <= data.size() && std::equal(written.begin(), written.end(), data.begin()));
    }
}
