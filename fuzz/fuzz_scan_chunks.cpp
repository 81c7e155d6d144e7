#include "cinerip.hpp"
#include "fuzz_checks.hpp"

#include <algorithm>

namespace {

std::uint32_t chunk_size_at(const std::uint8_t* header)
{
    return std::uint32_t{header[4]} << 24U | std::uint32_t{header[5]} << 16U | std::uint32_t{header[6]} << 8U |
           header[7];
}

// A second, deliberately naive reading of the container by position in
// memory, to compare the streaming scan against.
struct container_reading {
    std::vector<adpcm_block> blocks;
    bool ends_inside_audio = false;
};

container_reading read_container(std::span<const std::uint8_t> file)
{
    container_reading reading;
    std::uint64_t position = 0;
    while (position + 8 <= file.size()) {
        const std::uint8_t* header = file.data() + position;
        const auto payload = static_cast<std::int32_t>(chunk_size_at(header) - 8);
        const bool audio = header[0] == 'A' && header[1] == 'd' && header[2] == '1' && header[3] == '0';
        position += 8;
        if (payload <= 0) {
            continue;
        }
        if (!audio) {
            position += static_cast<std::uint64_t>(payload);
            continue;
        }
        for (std::int64_t left = payload; left > 0; left -= 16) {
            if (position + 16 > file.size()) {
                reading.ends_inside_audio = true;
                return reading;
            }
            adpcm_block block{};
            std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(position), 16, block.bytes.begin());
            reading.blocks.push_back(block);
            position += 16;
        }
    }
    return reading;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz_input input{};
    if (!split_fuzz_input(data, size, input)) {
        return 0;
    }
    const stage_run result = run_stage_checked(scan_chunks, input);
    const container_reading expected = read_container(input.file);
    require_output(result, expected.blocks,
                   expected.ends_inside_audio ? "WARNING: file ends inside an audio chunk\r\n" : "");
    return 0;
}
