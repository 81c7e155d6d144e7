#include "iso9660.hpp"

#include "byte_order.hpp"
#include "reasons.hpp"

#include <algorithm>
#include <array>
#include <optional>
#include <set>

namespace {

constexpr std::uint64_t descriptors_start = 16;
constexpr std::uint64_t max_descriptors = 32;
constexpr std::uint64_t max_directory_sectors = 65536;
using data_sector = std::array<std::uint8_t, cooked_sector_bytes>;

std::uint64_t sectors_for(std::uint64_t bytes)
{
    return (bytes + cooked_sector_bytes - 1) / cooked_sector_bytes;
}

// A track's sectors from `first`, one after another, as their first 2048
// bytes of data.
class data_sectors {
public:
    data_sectors(image_files& files, const sector_run& track, std::uint64_t first, std::uint64_t count)
        : image_{files.open_range(track.file, track.start + first * sector_bytes(track.layout),
                                  count * sector_bytes(track.layout))}
    {
        if (image_) {
            sectors_.emplace(*image_, track.layout);
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
        if (!sectors_ || sectors_->next() != read_status::complete) {
            return false;
        }
        std::copy_n(sectors_->data().begin(), data.size(), data.begin());
        return true;
    }

private:
    std::unique_ptr<byte_source> image_;
    std::optional<sector_stream> sectors_;
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
        directory root{};
        if (std::string why = read_descriptors(root); !why.empty()) {
            return {{}, std::move(why)};
        }
        std::vector<directory> waiting{root};
        visited_.insert(root.first);
        while (!waiting.empty()) {
            const directory here = waiting.back();
            waiting.pop_back();
            if (std::string why = read_directory(here, waiting); !why.empty()) {
                return {{}, std::move(why)};
            }
        }
        return {std::move(found_), {}};
    }

private:
    bool within_track(std::uint64_t first, std::uint64_t sectors) const
    {
        return first <= track_.sectors && sectors <= track_.sectors - first;
    }

    // The root directory, found through the primary volume descriptor.
    std::string read_descriptors(directory& root)
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
                return "a logical block of " + std::to_string(block) + " bytes, where a CD's is " +
                       std::to_string(cooked_sector_bytes);
            }
            const std::span<const std::uint8_t> record{sector.data() + 156, 34};
            const directory top{read_le32(record, 2) + std::uint64_t{record[1]}, read_le32(record, 10), "", 0};
            if (!within_track(top.first, sectors_for(top.size))) {
                return "the root directory lies past the image's end";
            }
            root = top;
            return {};
        }
        return "no ISO 9660 file system (no primary volume descriptor from sector " + count_text(descriptors_start) +
               ")";
    }

    std::string read_directory(const directory& here, std::vector<directory>& waiting)
    {
        const std::uint64_t sectors = sectors_for(here.size);
        directory_sectors_ += sectors;
        if (directory_sectors_ > max_directory_sectors) {
            return "more than " + count_text(max_directory_sectors) + " sectors of directories";
        }
        data_sectors reading{files_, track_, here.first, sectors};
        data_sector sector{};
        for (std::uint64_t i = 0; i < sectors; ++i) {
            if (!reading.next(sector)) {
                return "a directory cannot be read";
            }
            for (std::size_t at = 0; at < sector.size() && sector[at] != 0;) {
                const std::size_t length = sector[at];
                if (length < 34 || at + length > sector.size() || 33 + std::size_t{sector[at + 32]} > length) {
                    return "a directory record in " + (here.path.empty() ? std::string{"the root"} : here.path) +
                           " runs over its sector";
                }
                if (std::string why = read_record(std::span{sector}.subspan(at, length), here, waiting); !why.empty()) {
                    return why;
                }
                at += length;
            }
        }
        return {};
    }

    // The CD-XA field, where the record has one, follows the name and its
    // padding to an even length: big-endian attributes at 4, "XA" at 6.
    static bool form2_attribute(std::span<const std::uint8_t> record)
    {
        constexpr std::size_t xa_field_bytes = 14;
        constexpr std::uint32_t form2_sectors = 0x1000;
        const std::size_t field = std::size_t{33} + record[32] + (record[32] % 2 == 0 ? 1U : 0U);
        if (field + xa_field_bytes > record.size() || record[field + 6] != 'X' || record[field + 7] != 'A') {
            return false;
        }
        return (read_be16(record, field + 4) & form2_sectors) != 0;
    }

    std::string read_record(std::span<const std::uint8_t> record, const directory& here,
                            std::vector<directory>& waiting)
    {
        const std::span<const std::uint8_t> stored = record.subspan(33, record[32]);
        if (stored.size() == 1 && stored[0] <= 1) {
            return {}; // the directory itself, and its parent
        }
        if (++entries_ > max_disc_entries) {
            return "more than " + count_text(max_disc_entries) + " files and directories";
        }
        const std::string name = component(stored);
        if (name.empty()) {
            std::string shown;
            for (const std::uint8_t byte : stored) {
                shown += byte >= 0x20 && byte < 0x7F ? static_cast<char>(byte) : '?';
            }
            return "a name no file may have (\"" + shown + "\") in " +
                   (here.path.empty() ? std::string{"the root"} : here.path);
        }
        const std::uint8_t flags = record[25];
        if ((flags & 0x80U) != 0) {
            return here.path + name + " lies in several extents, which this reader does not join";
        }
        const std::uint64_t first = std::uint64_t{read_le32(record, 2)} + record[1];
        const std::uint64_t size = read_le32(record, 10);
        if (!within_track(first, sectors_for(size))) {
            return here.path + name + " lies past the image's end";
        }
        if ((flags & 0x02U) != 0) {
            if (here.depth + 1 > max_disc_depth) {
                return "directories nested more than " + count_text(max_disc_depth) + " deep";
            }
            if (!visited_.insert(first).second) {
                return here.path + name + " is a directory listed twice: it lists itself or one of its ancestors";
            }
            waiting.push_back({first, size, here.path + name + "/", here.depth + 1});
        } else {
            found_.push_back({here.path + name, first, sectors_for(size), size, form2_attribute(record)});
        }
        return {};
    }

    image_files& files_;
    sector_run track_;
    std::vector<disc_file> found_;
    std::set<std::uint64_t> visited_;
    std::size_t entries_ = 0;
    std::uint64_t directory_sectors_ = 0;
};

} // namespace

file_listing list_files(image_files& files, const sector_run& track)
{
    return lister{files, track}.run();
}
