#include "cinerip.hpp"

#include "byte_order.hpp"

#include <algorithm>
#include <array>

namespace {

// Taken as signed, sizes below 8 and of 2^31 + 8 and above leave nothing to
// read.
std::int32_t payload_length(const chunk_header& header)
{
    return static_cast<std::int32_t>(chunk_size(header) - chunk_header_bytes);
}

// One block for every started 16 bytes of the payload: a payload that is not
// a multiple of 16 takes its last block's missing bytes from what follows it.
// Empty while the scan goes on.
std::optional<stage_outcome> decode_audio_payload(input_stream& input, std::int32_t payload, wav_output& output,
                                                  predictor_state& state, console& messages)
{
    const std::uint64_t blocks = (static_cast<std::uint64_t>(payload) + adpcm_block_bytes - 1) / adpcm_block_bytes;
    adpcm_block block{};
    for (std::uint64_t i = 0; i < blocks; ++i) {
        const read_status read = input.read(block.bytes);
        if (read == read_status::ended) {
            messages.print("WARNING: file ends inside an audio chunk\r\n");
        }
        if (const std::optional<stage_outcome> stop = read_stop(read)) {
            return *stop;
        }
        if (const std::optional<stage_outcome> stop = pass_block(block, state, output, messages)) {
            return stop;
        }
    }
    return std::nullopt;
}

} // namespace

// Tag bytes compared as they stand, so letter case matters.
bool is_audio_chunk(const chunk_header& header)
{
    constexpr std::array<std::uint8_t, 4> audio_tag{0x41, 0x64, 0x31, 0x30}; // "Ad10"
    return std::equal(audio_tag.begin(), audio_tag.end(), header.begin());
}

// Unlike everything else the system reads or writes, the size is stored
// big-endian: the container comes from the console's video tools, not from
// its sound format.
std::uint32_t chunk_size(const chunk_header& header)
{
    return read_be32(header, 4);
}

bool has_printable_tag(const chunk_header& header)
{
    return std::all_of(header.begin(), header.begin() + 4,
                       [](std::uint8_t byte) { return byte >= 0x20 && byte <= 0x7E; });
}

stage_outcome scan_chunks(input_stream& input, wav_output& output, predictor_state& state, console& messages)
{
    chunk_header header{};
    for (;;) {
        // A header cut short, in its tag or in its size, is the end of the
        // input like any other.
        if (const std::optional<stage_outcome> stop = read_stop(input.read(header))) {
            return *stop;
        }
        const std::int32_t payload = payload_length(header);
        // A chunk with no payload is a header alone, whatever its tag: moving
        // by a negative length would go backwards, and by zero, loop forever.
        if (payload <= 0) {
            continue;
        }
        if (!is_audio_chunk(header)) {
            if (input.skip(static_cast<std::uint64_t>(payload)) != io_status::ok) {
                return stage_outcome::read_failed;
            }
            continue;
        }
        if (const std::optional<stage_outcome> stop = decode_audio_payload(input, payload, output, state, messages)) {
            return *stop;
        }
    }
}
