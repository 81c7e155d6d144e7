#include "sort_content.hpp"

#include "cinerip.hpp"
#include "sound_bank.hpp"
#include "vag_file.hpp"

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <vector>

namespace {

constexpr std::uint64_t chain_after_audio = std::uint64_t{1} << 20;
constexpr std::uint64_t first_blocks = 1000;

enum class chain { with_audio, without_audio, broken, unreadable };

bool all_zero(std::span<const std::uint8_t> bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t byte) { return byte == 0; });
}

// Whether everything from here to the end is zero.
chain zeros_to_end(input_stream& input, chain otherwise)
{
    for (;;) {
        // Zeroed each time: a read that meets the end fills only its front.
        std::array<std::uint8_t, 16> piece{};
        const read_status read = input.read(piece);
        if (read == read_status::failed || read == read_status::interrupted) {
            return chain::unreadable;
        }
        if (!all_zero(piece)) {
            return chain::broken;
        }
        if (read == read_status::ended) {
            return otherwise;
        }
    }
}

chain walk_chunks(input_stream& input, std::uint64_t size)
{
    std::uint64_t at = 0;
    std::uint64_t audio_at = 0;
    bool audio = false;
    // What the chain is if it ends here: no chain before its first chunk.
    const auto complete = [&] { return at == 0 ? chain::broken : audio ? chain::with_audio : chain::without_audio; };
    chunk_header header{};
    while (size - at >= chunk_header_bytes) {
        if (audio && at - audio_at >= chain_after_audio) {
            return chain::with_audio;
        }
        switch (input.read(header)) {
        case read_status::complete:
            break;
        case read_status::ended:
            return complete(); // shorter than its bound
        case read_status::failed:
        case read_status::interrupted:
            return chain::unreadable;
        }
        if (all_zero(header)) {
            // Padding after the last chunk.
            return at == 0 ? chain::broken : zeros_to_end(input, complete());
        }
        const std::uint32_t length = chunk_size(header);
        if (!has_printable_tag(header) || length < chunk_header_bytes) {
            return chain::broken;
        }
        if (is_audio_chunk(header) && !audio) {
            audio = true;
            audio_at = at;
        }
        if (length > size - at) {
            return audio ? chain::with_audio : chain::broken;
        }
        if (input.skip(length - chunk_header_bytes) != io_status::ok) {
            return chain::unreadable;
        }
        at += length;
    }
    return complete();
}

struct block_tally {
    std::uint64_t blocks = 0;
    std::uint64_t nonzero = 0;
    std::uint64_t valid = 0;
    bool unreadable = false;
};

// Filter 0-4, shift 0-12, flags 0-7: a block an encoder makes.
bool plausible_block(const adpcm_block& block)
{
    return (block.bytes[0] >> 4U) <= 4 && (block.bytes[0] & 0x0FU) <= 12 && block.bytes[1] <= 7;
}

// The blocks from the start until 1,000 of them are not all zero, or all of
// them in a smaller file.
block_tally sample_blocks(input_stream& input)
{
    block_tally tally;
    adpcm_block block{};
    while (tally.nonzero < first_blocks) {
        const read_status read = input.read(block.bytes);
        if (read != read_status::complete) {
            tally.unreadable = read == read_status::failed || read == read_status::interrupted;
            return tally;
        }
        ++tally.blocks;
        if (!all_zero(block.bytes)) {
            ++tally.nonzero;
            tally.valid += plausible_block(block) ? 1U : 0U;
        }
    }
    return tally;
}

// Enough of a file's start for the sound structures: every sector that
// find_xa_sound looks at, behind the largest header before them.
constexpr std::size_t front_bytes = cdxa_header_bytes + xa_sectors_to_sort * raw_form_sector_bytes;

// Up to `limit` bytes from the source's start, fewer where it ends first;
// nothing where a fetch fails.
std::optional<std::vector<std::uint8_t>> read_front(byte_source& source, std::size_t limit)
{
    std::vector<std::uint8_t> front;
    while (front.size() < limit) {
        const fetch_result fetched = source.fetch();
        if (fetched.status != fetch_status::ok) {
            return std::nullopt;
        }
        if (fetched.bytes.empty()) {
            break;
        }
        const std::size_t taken = std::min(fetched.bytes.size(), limit - front.size());
        front.insert(front.end(), fetched.bytes.begin(), fetched.bytes.begin() + static_cast<std::ptrdiff_t>(taken));
    }
    return front;
}

bool xa_in_front(std::span<const std::uint8_t> front, std::uint64_t size)
{
    // A front that ends before the bound is the whole file.
    const sector_layout_of_file layout = recognise_sector_form(front, front.size() < front_bytes ? front.size() : size);
    if (layout.form == sector_form::none) {
        return false;
    }
    for (auto at = static_cast<std::size_t>(layout.first), seen = std::size_t{0};
         at + layout.sector_bytes <= front.size() && seen < xa_sectors_to_sort; at += layout.sector_bytes, ++seen) {
        if (read_xa_audio_sector(front.subspan(at, layout.sector_bytes), layout.form)) {
            return true;
        }
    }
    return false;
}

} // namespace

xa_presence find_xa_sound(byte_source& sectors, std::uint64_t size)
{
    const std::optional<std::vector<std::uint8_t>> front = read_front(sectors, front_bytes);
    if (!front) {
        return xa_presence::unreadable;
    }
    return xa_in_front(*front, size) ? xa_presence::found : xa_presence::absent;
}

sorted_content sort_content(file_system& files, const std::string& path, std::uint64_t size)
{
    if (size == 0) {
        return {content_verdict::skipped, "an empty file"};
    }
    const std::unique_ptr<byte_source> for_structure = files.open_input(path);
    if (!for_structure) {
        return {content_verdict::unreadable, {}};
    }
    const std::optional<std::vector<std::uint8_t>> front = read_front(*for_structure, front_bytes);
    if (for_structure->close() != io_status::ok || !front) {
        return {content_verdict::unreadable, {}};
    }
    if (starts_with_vag(*front)) {
        return {content_verdict::vag, {}};
    }
    if (starts_with_bank(*front)) {
        return {content_verdict::bank, {}};
    }
    if (xa_in_front(*front, size)) {
        return {content_verdict::xa, {}};
    }

    const std::unique_ptr<byte_source> for_chunks = files.open_input(path);
    if (!for_chunks) {
        return {content_verdict::unreadable, {}};
    }
    input_stream chunks{*for_chunks};
    const chain walked = walk_chunks(chunks, size);
    if (for_chunks->close() != io_status::ok || walked == chain::unreadable) {
        return {content_verdict::unreadable, {}};
    }
    if (walked == chain::with_audio) {
        return {content_verdict::cinerip, {}};
    }
    if (walked == chain::without_audio) {
        return {content_verdict::skipped, "a chunk file with no audio chunk"};
    }

    const std::unique_ptr<byte_source> for_blocks = files.open_input(path);
    if (!for_blocks) {
        return {content_verdict::unreadable, {}};
    }
    input_stream blocks{*for_blocks};
    const block_tally tally = sample_blocks(blocks);
    if (for_blocks->close() != io_status::ok || tally.unreadable) {
        return {content_verdict::unreadable, {}};
    }
    if (tally.blocks > 0 && tally.nonzero == 0) {
        return {content_verdict::skipped, "only zero bytes"};
    }
    if (tally.valid > 0 && tally.valid * 10 >= tally.nonzero * 9) {
        return {content_verdict::blockrip, {}};
    }
    return {content_verdict::skipped, "not ADPCM sound"};
}
