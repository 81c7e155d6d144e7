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

// The rule of guess_container, by position in memory.
bool reads_as_container(std::span<const std::uint8_t> file)
{
    for (std::uint64_t position = 0; position + 8 <= file.size();) {
        const std::uint8_t* header = file.data() + position;
        const std::uint32_t size = chunk_size_at(header);
        if (std::any_of(header, header + 4, [](std::uint8_t byte) { return byte < 0x20 || byte > 0x7E; }) || size < 8) {
            return false;
        }
        position += size;
    }
    return true;
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

    // Only a failed read may leave the file's kind unknown.
    memory_source source{input.file, input.shape.fetch_bytes, input.shape.fail_at};
    input_stream stream{source};
    const container_guess guess = guess_container(stream);
    const container_guess expected_guess =
        reads_as_container(input.file) ? container_guess::container : container_guess::raw_stream;
    require(guess == container_guess::unreadable ? input.shape.fail_at != memory_source::never
                                                 : guess == expected_guess);
    return 0;
}
