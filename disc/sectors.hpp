#pragma once

#include "streams.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

// A raw sector: sync (00, ten FF, 00), a header of BCD minute, second and
// frame and the mode byte, then in Mode 1 2048 bytes of data at 16, in Mode 2
// a subheader (file, channel, submode, coding; twice) at 16 and the data at
// 24: 2048 bytes in Form 1, 2324 in Form 2 (submode bit 5).
inline constexpr std::size_t raw_sector_bytes = 2352;
inline constexpr std::size_t cooked_sector_bytes = 2048;
inline constexpr std::size_t form2_data_bytes = 2324;

// How an image stores a track's sectors: raw, as above, or as their 2048
// bytes of data alone (an .iso, or a MODE1/2048 track).
enum class sector_layout : std::uint8_t { raw, cooked };

[[nodiscard]] constexpr std::size_t sector_bytes(sector_layout layout)
{
    return layout == sector_layout::raw ? raw_sector_bytes : cooked_sector_bytes;
}

// Whether the bytes start with a raw sector's sync pattern.
[[nodiscard]] bool starts_with_sync(std::span<const std::uint8_t> bytes);

struct user_data {
    std::size_t offset;
    std::size_t length;
    bool form2;
};

// Where a raw sector's data lies: by its mode byte, and in Mode 2 by its
// submode; a mode other than 2 is read as Mode 1.
[[nodiscard]] user_data raw_user_data(std::span<const std::uint8_t, raw_sector_bytes> sector);

// Sectors one after another out of a stream of them, stored in `layout`,
// each giving its data: a cooked sector's 2048 bytes, or a raw sector's by
// its mode and form.
class sector_stream {
public:
    sector_stream(byte_source& sectors, sector_layout layout) : stream_{sectors}, layout_{layout} {}
    sector_stream(const sector_stream&) = delete; // its data lies in its own buffer
    sector_stream& operator=(const sector_stream&) = delete;

    // The next sector; complete when a whole one was read.
    [[nodiscard]] read_status next();
    [[nodiscard]] std::span<const std::uint8_t> data() const { return data_; }
    [[nodiscard]] bool form2() const { return form2_; }

private:
    input_stream stream_;
    sector_layout layout_;
    std::array<std::uint8_t, raw_sector_bytes> sector_{};
    std::span<const std::uint8_t> data_;
    bool form2_ = false;
};

// The files of a disc image: a .bin, an .iso, or the files a cue sheet names.
// The reader opens any part of one as a byte source of its own, so that it
// reads no more than it needs and never the whole image at once.
class image_files {
public:
    image_files() = default;
    image_files(const image_files&) = delete;
    image_files& operator=(const image_files&) = delete;
    virtual ~image_files() = default;

    [[nodiscard]] virtual std::size_t count() const = 0;
    [[nodiscard]] virtual std::uint64_t size(std::size_t file) const = 0;
    // The `length` bytes of `file` from `offset`, which lie within it; null
    // when they cannot be opened.
    [[nodiscard]] virtual std::unique_ptr<byte_source> open_range(std::size_t file, std::uint64_t offset,
                                                                  std::uint64_t length) = 0;
};

// A run of sectors in one of the image's files.
struct sector_run {
    std::size_t file;
    std::uint64_t start; // the byte offset of its first sector
    std::uint64_t sectors;
    sector_layout layout;
};

// A file inside a data track: `size` bytes recorded over `sectors` sectors.
// Its bytes are the data of those sectors in order, 2324 of a Form 2 sector;
// where every sector is Form 1, the last is cut to the recorded size (a Form
// 2 file's size counts 2048 bytes for each of its sectors).
[[nodiscard]] std::unique_ptr<byte_source> open_sector_file(image_files& files, const sector_run& run,
                                                            std::uint64_t size);

// The most bytes such a file can hold: its size where its sectors are
// cooked, every sector in Form 2 where they are raw.
[[nodiscard]] std::uint64_t sector_file_bound(const sector_run& run, std::uint64_t size);
