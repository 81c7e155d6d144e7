#include "blockrip.hpp"
#include "fuzz_checks.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz_input input{};
    if (!split_fuzz_input(data, size, input)) {
        return 0;
    }
    const stage_run result = run_stage_checked(read_block_stream, input);
    std::vector<adpcm_block> blocks(input.file.size() / adpcm_block_bytes);
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        std::copy_n(input.file.begin() + static_cast<std::ptrdiff_t>(i * adpcm_block_bytes), adpcm_block_bytes,
                    blocks[i].bytes.begin());
    }
    require_output(result, blocks, "");
    return 0;
}
