#include "vag_file.hpp"

#include "byte_order.hpp"

#include <algorithm>

namespace {

// The flags byte of a block.
constexpr std::uint8_t loop_end = 0x01;
constexpr std::uint8_t loop_repeat = 0x02;
constexpr std::uint8_t loop_start = 0x04;

} // namespace

bool starts_with_vag(std::span<const std::uint8_t> bytes)
{
    return bytes.size() >= 4 && bytes[0] == 'V' && bytes[1] == 'A' && bytes[2] == 'G' && bytes[3] == 'p';
}

vag_header read_vag_header(std::span<const std::uint8_t, vag_header_bytes> bytes)
{
    vag_header header{read_be32(bytes, 0x04), read_be32(bytes, 0x0C), read_be32(bytes, 0x10), {}};
    for (std::size_t at = 0x20; at < 0x30 && bytes[at] != 0; ++at) {
        header.name += bytes[at] >= 0x20 && bytes[at] < 0x7F ? static_cast<char>(bytes[at]) : '?';
    }
    return header;
}

std::uint32_t vag_output_rate(const vag_header& header)
{
    return header.rate == 0 || header.rate > vag_max_rate ? vag_fallback_rate : header.rate;
}

vag_conversion convert_vag_sample(input_stream& file, std::uint64_t data_bytes, std::uint32_t rate, wav_output& output,
                                  console& messages)
{
    if (write_canonical_header(output, {1, rate}) != io_status::ok) {
        return {stage_outcome::write_failed, {}};
    }
    predictor_state state{0, 0};
    std::uint32_t loop_from = 0;
    adpcm_block block{};
    for (std::uint32_t index = 0; std::uint64_t{index + 1} * adpcm_block_bytes <= data_bytes; ++index) {
        if (const std::optional<stage_outcome> stop = read_stop(file.read(block.bytes))) {
            return {*stop, {}};
        }
        if (const std::optional<stage_outcome> stop = pass_block(block, state, output, messages)) {
            return {*stop, {}};
        }
        const std::uint8_t flags = block.bytes[1];
        loop_from = (flags & loop_start) != 0 ? index : loop_from;
        if ((flags & loop_end) != 0) {
            sample_end end{true, std::nullopt};
            if ((flags & loop_repeat) != 0) {
                const auto frames = static_cast<std::uint32_t>(samples_per_block);
                end.loop = sample_loop{loop_from * frames, index * frames + frames - 1};
            }
            return {stage_outcome::finished, end};
        }
    }
    return {stage_outcome::finished, {}};
}
