#include "iso9660.hpp"

#include <algorithm>
#include <array>
#include <optional>
#include <set>

namespace {

constexpr std::uint64_t descriptors_start = 16;
constexpr std::uint64_t max_descriptors = 32;
constexpr std::uint64_t max_directory_sectors = 65536;
using data_sector = std::array<std::uint8_t, cooked_sector_bytes>;

std::uint32_t le32(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return std::uint32_t{bytes[at]} | (std::uint32_t{bytes[at + 1]} << 8U) | (std::uint32_t{bytes[at + 2]} << 16U) |
           (std::uint32_t{bytes[at + 3]} << 24U);
}

std::uint64_t sectors_for(std::uint64_t bytes)
{
    return (bytes + cooked_sector_bytes - 1) / cooked_sector_bytes;
}

// A track's sectors from `first`, one after another, as their first 2048
// bytes of data.
class data_sectors {
public:
    data_sectors(image_files& files, const sector_run& track, std::uint64_t first, std::uint64_t count)
        : layout_{track.layout}, image_{files.open_range(track.file, track.start + first * sector_bytes(track.layout),
                                                         count * sector_bytes(track.layout))}
    {
        if (image_) {
            stream_.emplace(*image_);
        }
    }
    data_sectors(const data_sectors&) = delete;
    data_sectors& operator=(const data_sectors&) = delete;
    ~data_sectors()
    {
        if (image_) {
            [[maybe_unused]] const io_status ignored = image_->close(); // only read from
        }
    }

    [[nodiscard]] bool next(data_sector& data)
    {
        if (!stream_) {
            return false;
        }
        if (layout_ == sector_layout::cooked) {
            return stream_->read(data) == read_status::complete;
        }
        if (stream_->read(raw_) != read_status::complete) {
            return false;
        }
        std::copy_n(raw_.begin() + static_cast<std::ptrdiff_t>(raw_user_data(raw_).offset), data.size(), data.begin());
        return true;
    }

private:
    sector_layout layout_;
    std::unique_ptr<byte_source> image_;
    std::optional<input_stream> stream_;
    std::array<std::uint8_t, raw_sector_bytes> raw_{};
};

// A name as the disc stores it, made a path component: the version (";1")
// and the dot that ends a name without an extension go. Empty where the name
// could lead out of its folder or holds what no file name may.
std::string component(std::span<const std::uint8_t> stored)
{
    std::string name{stored.begin(), stored.end()};
    if (const std::size_t version = name.rfind(';'); version != std::string::npos) {
        name.erase(version);
    }
    if (name.ends_with('.')) {
        name.pop_back();
    }
    const bool unsafe = std::any_of(name.begin(), name.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F || c == '/' || c == '\\';
    });
    return unsafe || name.empty() || name == "." || name == ".." ? std::string{} : name;
}

struct directory {
    std::uint64_t first;
    std::uint64_t size;
    std::string path; // with a trailing slash, or empty for the root
    std::size_t depth;
};

class lister {
public:
    lister(image_files& files, const sector_run& track) : files_{files}, track_{track} {}

    file_listing run()
    {
        const std::optional<directory> root = read_descriptors();
        if (!root) {
            return fail();
        }
        std::vector<directory> waiting{*root};
        visited_.insert(root->first);
        while (!waiting.empty()) {
            const directory here = waiting.back();
            waiting.pop_back();
            if (!read_directory(here, waiting)) {
                return fail();
            }
        }
        return {std::move(found_), {}};
    }

private:
    file_listing fail() { return {{}, std::move(error_)}; }

    bool failed(std::string why)
    {
        error_ = std::move(why);
        return false;
    }

    bool within_track(std::uint64_t first, std::uint64_t sectors) const
    {
        return first <= track_.sectors && sectors <= track_.sectors - first;
    }

    std::optional<directory> read_descriptors()
    {
        const std::uint64_t count =
            std::min(max_descriptors, track_.sectors > descriptors_start ? track_.sectors - descriptors_start : 0);
        data_sectors descriptors{files_, track_, descriptors_start, count};
        data_sector sector{};
        for (std::uint64_t i = 0; i < count && descriptors.next(sector); ++i) {
            if (!std::equal(sector.begin() + 1, sector.begin() + 6, "CD001")) {
                break;
            }
            if (sector[0] == 255) {
                break;
            }
            if (sector[0] != 1) {
                continue;
            }
            const std::uint32_t block = std::uint32_t{sector[128]} | (std::uint32_t{sector[129]} << 8U);
            if (block != cooked_sector_bytes) {
                failed("a logical block of " + std::to_string(block) + " bytes, where a CD's is 2048");
                return std::nullopt;
            }
            const std::span<const std::uint8_t> root{sector.data() + 156, 34};
            const directory top{le32(root, 2) + std::uint64_t{root[1]}, le32(root, 10), "", 0};
            if (!within_track(top.first, sectors_for(top.size))) {
                failed("the root directory lies past the image's end");
                return std::nullopt;
            }
            return top;
        }
        failed("no ISO 9660 file system (no primary volume descriptor from sector 16)");
        return std::nullopt;
    }

    bool read_directory(const directory& here, std::vector<directory>& waiting)
    {
        const std::uint64_t sectors = sectors_for(here.size);
        directory_sectors_ += sectors;
        if (directory_sectors_ > max_directory_sectors) {
            return failed("more than 65,536 sectors of directories");
        }
        data_sectors reading{files_, track_, here.first, sectors};
        data_sector sector{};
        for (std::uint64_t i = 0; i < sectors; ++i) {
            if (!reading.next(sector)) {
                return failed("a directory cannot be read");
            }
            for (std::size_t at = 0; at < sector.size() && sector[at] != 0;) {
                const std::size_t length = sector[at];
                if (length < 34 || at + length > sector.size() || 33 + std::size_t{sector[at + 32]} > length) {
                    return failed("a directory record in " + (here.path.empty() ? std::string{"the root"} : here.path) +
                                  " runs over its sector");
                }
                if (!read_record(std::span{sector}.subspan(at, length), here, waiting)) {
                    return false;
                }
                at += length;
            }
        }
        return true;
    }

    bool read_record(std::span<const std::uint8_t> record, const directory& here, std::vector<directory>& waiting)
    {
        const std::span<const std::uint8_t> stored = record.subspan(33, record[32]);
        if (stored.size() == 1 && stored[0] <= 1) {
            return true; // the directory itself, and its parent
        }
        if (++entries_ > max_disc_entries) {
            return failed("more than 65,536 files and directories");
        }
        const std::string name = component(stored);
        if (name.empty()) {
            std::string shown;
            for (const std::uint8_t byte : stored) {
                shown += byte >= 0x20 && byte < 0x7F ? static_cast<char>(byte) : '?';
            }
            return failed("a name no file may have (\"" + shown + "\") in " +
                          (here.path.empty() ? std::string{"the root"} : here.path));
        }
        const std::uint8_t flags = record[25];
        if ((flags & 0x80U) != 0) {
            return failed(here.path + name + " lies in several extents, which this reader does not join");
        }
        const std::uint64_t first = std::uint64_t{le32(record, 2)} + record[1];
        const std::uint64_t size = le32(record, 10);
        if (!within_track(first, sectors_for(size))) {
            return failed(here.path + name + " lies past the image's end");
        }
        if ((flags & 0x02U) != 0) {
            if (here.depth + 1 > max_disc_depth) {
                return failed("directories nested more than 64 deep");
            }
            if (!visited_.insert(first).second) {
                return failed(here.path + name +
                              " is a directory listed twice: it lists itself or one of its ancestors");
            }
            waiting.push_back({first, size, here.path + name + "/", here.depth + 1});
        } else {
            found_.push_back({here.path + name, first, sectors_for(size), size});
        }
        return true;
    }

    image_files& files_;
    sector_run track_;
    std::vector<disc_file> found_;
    std::set<std::uint64_t> visited_;
    std::size_t entries_ = 0;
    std::uint64_t directory_sectors_ = 0;
    std::string error_;
};

} // namespace

file_listing list_files(image_files& files, const sector_run& track)
{
    return lister{files, track}.run();
}
