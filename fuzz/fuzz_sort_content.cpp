// The sorting rule over any file, read in any shape: it ends, gives the same
// verdict whatever the pieces the file is read in (or says it could not
// read it), and agrees with the rule read independently, by position in
// memory, for a file small enough to be judged whole.
#include "fuzz_checks.hpp"
#include "sort_content.hpp"

#include "cinerip.hpp"
#include "xa_sectors.hpp"

#include <algorithm>
#include <string_view>

namespace {

bool zero(std::span<const std::uint8_t> bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t byte) { return byte == 0; });
}

bool begins_with(std::span<const std::uint8_t> file, std::string_view tag)
{
    return file.size() >= tag.size() && std::equal(tag.begin(), tag.end(), file.begin());
}

// An XA audio sector among the first 64 whole sectors, read in place.
bool holds_xa(std::span<const std::uint8_t> file)
{
    const sector_layout_of_file layout = recognise_sector_form(file, file.size());
    if (layout.form == sector_form::none) {
        return false;
    }
    for (std::size_t n = 0; n < xa_sectors_to_sort; ++n) {
        const std::size_t at = layout.first + n * layout.sector_bytes;
        if (at + layout.sector_bytes <= file.size() &&
            read_xa_audio_sector(file.subspan(at, layout.sector_bytes), layout.form)) {
            return true;
        }
    }
    return false;
}

content_verdict expected_verdict(std::span<const std::uint8_t> file)
{
    if (file.empty()) {
        return content_verdict::skipped;
    }
    if (begins_with(file, "VAGp")) {
        return content_verdict::vag;
    }
    if (begins_with(file, "pBAV")) {
        return content_verdict::bank;
    }
    if (holds_xa(file)) {
        return content_verdict::xa;
    }
    std::size_t at = 0;
    bool audio = false;
    bool broken = false;
    while (!broken && file.size() - at >= 8) {
        chunk_header header{};
        std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(at), 8, header.begin());
        const std::uint32_t size = chunk_size(header);
        if (zero(header)) {
            broken = at == 0 || !zero(file.subspan(at));
            at = broken ? at : file.size();
            break;
        }
        broken = !has_printable_tag(header) || size < 8;
        audio = audio || (!broken && is_audio_chunk(header));
        if (!broken && size > file.size() - at) {
            broken = !audio;
            at = file.size();
            break;
        }
        at += broken ? 0 : size;
    }
    if (!broken && at > 0) {
        return audio ? content_verdict::cinerip : content_verdict::skipped;
    }
    std::size_t nonzero = 0;
    std::size_t valid = 0;
    for (std::size_t block = 0; block + 16 <= file.size(); block += 16) {
        if (!zero(file.subspan(block, 16))) {
            ++nonzero;
            valid += (file[block] >> 4U) <= 4 && (file[block] & 0x0FU) <= 12 && file[block + 1] <= 7 ? 1U : 0U;
        }
    }
    return valid > 0 && valid * 10 >= nonzero * 9 ? content_verdict::blockrip : content_verdict::skipped;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz_input input{};
    if (!split_fuzz_input(data, size, input)) {
        return 0;
    }
    memory_files files;
    files.inputs["in"].assign(input.file.begin(), input.file.end());
    const sorted_content whole = sort_content(files, "in", input.file.size());
    files.fetch_bytes = input.shape.fetch_bytes;
    files.fail_at = input.shape.fail_at;
    const sorted_content shaped = sort_content(files, "in", input.file.size());
    require(whole.verdict == shaped.verdict || shaped.verdict == content_verdict::unreadable);
    require((shaped.verdict != content_verdict::unreadable) || input.shape.fail_at != memory_source::never);
    require((whole.verdict == content_verdict::skipped) == !whole.reason.empty());
    if (input.file.size() <= 16000 || (input.file.size() <= 160000 && whole.verdict == content_verdict::xa)) {
        require(whole.verdict == expected_verdict(input.file));
    }
    return 0;
}
