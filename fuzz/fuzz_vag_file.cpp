// A VAG file of any content, read in any shape: its header read, its rate
// kept or replaced, and its sample written from the block after the header,
// no further than the header's size or the file, ending at most at the
// first block that ends the sample, with any loop inside what was written.
#include "fuzz_checks.hpp"
#include "vag_file.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1 + vag_header_bytes) {
        return 0;
    }
    const std::size_t fetch_bytes = data[0] == 0 ? memory_source::never : data[0];
    const std::span<const std::uint8_t> file{data + 1, size - 1};
    const vag_header header = read_vag_header(file.first<vag_header_bytes>());
    const std::uint32_t rate = vag_output_rate(header);
    require(rate > 0 && rate <= vag_max_rate && header.name.size() <= 16);

    memory_source source{file.subspan(vag_header_bytes), fetch_bytes};
    input_stream stream{source};
    memory_sink sink;
    wav_output output{sink, 2};
    string_console messages;
    const vag_conversion converted = convert_vag_sample(stream, header.data_bytes, rate, output, messages);
    require(converted.outcome == stage_outcome::finished);
    const sample_chunk chunk = make_sample_chunk(rate, converted.end.loop.value_or(sample_loop{}));
    const auto trailing = converted.end.loop ? std::span<const std::uint8_t>{chunk} : std::span<const std::uint8_t>{};
    require(finish_wav(output, trailing) == io_status::ok);

    const std::uint64_t blocks = (sink.bytes.size() - canonical_header_bytes - trailing.size()) / pcm_block_bytes;
    require(sink.bytes.size() == canonical_header_bytes + blocks * pcm_block_bytes + trailing.size());
    require(blocks * adpcm_block_bytes <= std::min<std::uint64_t>(header.data_bytes, file.size() - vag_header_bytes));
    const std::uint64_t frames = blocks * samples_per_block;
    require(!converted.end.loop ||
            (converted.end.loop->start <= converted.end.loop->end && converted.end.loop->end + 1 == frames));
    require(!converted.end.ended || file[vag_header_bytes + (blocks - 1) * adpcm_block_bytes + 1] % 2 == 1);
    return 0;
}
