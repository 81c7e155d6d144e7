#include "sectors.hpp"

#include <algorithm>
#include <array>
#include <vector>

bool starts_with_sync(std::span<const std::uint8_t> bytes)
{
    constexpr std::array<std::uint8_t, 12> sync{0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    return bytes.size() >= sync.size() && std::equal(sync.begin(), sync.end(), bytes.begin());
}

user_data raw_user_data(std::span<const std::uint8_t, raw_sector_bytes> sector)
{
    constexpr std::size_t mode_offset = 15;
    constexpr std::size_t submode_offset = 18;
    constexpr std::uint8_t form2_bit = 0x20;
    if (sector[mode_offset] != 2) {
        return {16, cooked_sector_bytes, false};
    }
    if ((sector[submode_offset] & form2_bit) != 0) {
        return {24, form2_data_bytes, true};
    }
    return {24, cooked_sector_bytes, false};
}

read_status sector_stream::next()
{
    const std::span<std::uint8_t> sector = std::span{sector_}.first(sector_bytes(layout_));
    if (const read_status read = stream_.read(sector); read != read_status::complete) {
        data_ = {};
        return read;
    }
    const user_data where = layout_ == sector_layout::raw ? raw_user_data(sector_) : user_data{0, sector.size(), false};
    data_ = sector.subspan(where.offset, where.length);
    form2_ = where.form2;
    return read_status::complete;
}

std::uint64_t sector_file_bound(const sector_run& run, std::uint64_t size)
{
    return run.layout == sector_layout::cooked ? size : run.sectors * form2_data_bytes;
}

namespace {

// Reads the run's sectors in pieces of up to 64 and hands out their data.
class sector_file_source final : public byte_source {
public:
    sector_file_source(std::unique_ptr<byte_source> image, const sector_run& run, std::uint64_t size)
        : image_{std::move(image)}, sectors_{*image_, run.layout}, run_{run}, size_{size}
    {
    }

    fetch_result fetch() override
    {
        for (;;) {
            const fetch_result next = next_piece();
            if (next.status != fetch_status::ok || next.bytes.size() > skipping_) {
                const std::size_t skipped =
                    static_cast<std::size_t>(std::min<std::uint64_t>(skipping_, next.bytes.size()));
                skipping_ -= skipped;
                return {next.status, next.bytes.subspan(skipped)};
            }
            skipping_ -= next.bytes.size();
            if (next.bytes.empty()) {
                return next;
            }
        }
    }

    // Form 2 sectors make the data's length unknown until read, so a skip
    // reads what it steps over.
    io_status skip(std::uint64_t count) override
    {
        skipping_ += count;
        return io_status::ok;
    }

    io_status close() override { return image_->close(); }

private:
    static constexpr std::uint64_t sectors_per_piece = 64;

    fetch_result next_piece()
    {
        piece_.clear();
        const std::uint64_t end = std::min(run_.sectors, read_ + sectors_per_piece);
        for (; read_ < end; ++read_) {
            const std::size_t at = piece_.size();
            if (sectors_.next() != read_status::complete) {
                return {fetch_status::failed, {}};
            }
            form2_seen_ = form2_seen_ || sectors_.form2();
            piece_.insert(piece_.end(), sectors_.data().begin(), sectors_.data().end());
            if (read_ + 1 == run_.sectors && !form2_seen_) {
                const std::uint64_t last = size_ - (run_.sectors - 1) * cooked_sector_bytes;
                piece_.resize(at + static_cast<std::size_t>(std::min<std::uint64_t>(last, cooked_sector_bytes)));
            }
        }
        return {fetch_status::ok, piece_};
    }

    std::unique_ptr<byte_source> image_;
    sector_stream sectors_;
    sector_run run_;
    std::uint64_t size_;
    std::uint64_t read_ = 0;
    std::uint64_t skipping_ = 0;
    bool form2_seen_ = false;
    std::vector<std::uint8_t> piece_;
};

} // namespace

std::unique_ptr<byte_source> open_sector_file(image_files& files, const sector_run& run, std::uint64_t size)
{
    const std::uint64_t bytes = sector_bytes(run.layout);
    std::unique_ptr<byte_source> image = files.open_range(run.file, run.start, run.sectors * bytes);
    if (!image) {
        return nullptr;
    }
    return std::make_unique<sector_file_source>(std::move(image), run, size);
}
