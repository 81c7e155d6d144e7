#include "disc_images.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <memory>

namespace {

constexpr std::size_t sector_data = 2048;
constexpr std::size_t form2_data = 2324;
constexpr std::size_t raw_sector = 2352;
constexpr std::uint8_t submode_data = 0x08;
constexpr std::uint8_t submode_form2 = 0x20 | 0x04 | 0x40; // Form 2, audio, real time: as XA sound
constexpr std::uint8_t submode_end = 0x81;                 // end of record and of file

void put_both16(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value)
{
    bytes[at] = bytes[at + 3] = static_cast<std::uint8_t>(value);
    bytes[at + 1] = bytes[at + 2] = static_cast<std::uint8_t>(value >> 8U);
}

void put_le32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

void put_be32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * (3 - i)));
    }
}

void put_both32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value)
{
    put_le32(bytes, at, value);
    put_be32(bytes, at + 4, value);
}

void put_text(std::vector<std::uint8_t>& bytes, std::size_t at, std::size_t length, const std::string& text)
{
    std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), length, ' ');
    std::copy_n(text.begin(), std::min(length, text.size()), bytes.begin() + static_cast<std::ptrdiff_t>(at));
}

struct node {
    std::string name; // as stored: "NAME.EXT;1" for a file, "NAME" for a directory
    bool is_directory = false;
    const image_file* file = nullptr;
    std::map<std::string, std::unique_ptr<node>> children; // sorted by stored name, as ISO 9660 wants
    std::uint32_t first = 0;
    std::uint32_t size = 0;
    std::uint32_t parent_number = 1; // in the path table
};

std::string stored_name(std::string name, bool is_directory)
{
    if (is_directory) {
        return name;
    }
    return (name.find('.') == std::string::npos ? name + "." : name) + ";1";
}

node build_tree(const std::vector<image_file>& files)
{
    node root;
    root.is_directory = true;
    for (const image_file& file : files) {
        node* at = &root;
        std::size_t from = 0;
        for (std::size_t slash = file.path.find('/'); slash != std::string::npos; slash = file.path.find('/', from)) {
            const std::string name = file.path.substr(from, slash - from);
            std::unique_ptr<node>& child = at->children[name];
            if (!child) {
                child = std::make_unique<node>();
                child->name = name;
                child->is_directory = true;
            }
            at = child.get();
            from = slash + 1;
        }
        auto leaf = std::make_unique<node>();
        leaf->name = stored_name(file.path.substr(from), false);
        leaf->file = &file;
        at->children[leaf->name] = std::move(leaf);
    }
    return root;
}

std::vector<std::uint8_t> record(const std::string& name, std::uint32_t first, std::uint32_t size, bool is_directory)
{
    const std::size_t length = 33 + name.size() + (name.size() % 2 == 0 ? 1 : 0);
    std::vector<std::uint8_t> bytes(length);
    bytes[0] = static_cast<std::uint8_t>(length);
    put_both32(bytes, 2, first);
    put_both32(bytes, 10, size);
    const std::array<std::uint8_t, 7> date{126, 12, 9, 12, 0, 0, 0}; // 2026-12-09, as the tests' own
    std::copy(date.begin(), date.end(), bytes.begin() + 18);
    bytes[25] = is_directory ? 0x02 : 0x00;
    put_both16(bytes, 28, 1);
    bytes[32] = static_cast<std::uint8_t>(name.size());
    std::copy(name.begin(), name.end(), bytes.begin() + 33);
    return bytes;
}

// A directory's records, laid into sectors: a record never crosses one.
std::vector<std::uint8_t> directory_bytes(const node& directory, const node& parent)
{
    std::vector<std::vector<std::uint8_t>> records{record(std::string(1, '\0'), directory.first, directory.size, true),
                                                   record(std::string(1, '\1'), parent.first, parent.size, true)};
    for (const auto& [name, child] : directory.children) {
        records.push_back(record(child->name, child->first, child->size, child->is_directory));
    }
    std::vector<std::uint8_t> bytes;
    for (const std::vector<std::uint8_t>& one : records) {
        const std::size_t used = bytes.size() % sector_data;
        if (used + one.size() > sector_data) {
            bytes.resize(bytes.size() + sector_data - used);
        }
        bytes.insert(bytes.end(), one.begin(), one.end());
    }
    bytes.resize((bytes.size() + sector_data - 1) / sector_data * sector_data);
    return bytes;
}

std::size_t directory_sectors(const node& directory)
{
    return directory_bytes(directory, directory).size() / sector_data;
}

bool form2_sector(const image_file& file, std::size_t index)
{
    return !file.form2.empty() && file.form2[index % file.form2.size()];
}

// The file's sectors: its bytes over Form 1 and Form 2 sectors in turn.
std::vector<track_sector> file_sectors(const image_file& file)
{
    std::vector<track_sector> sectors;
    for (std::size_t at = 0; at < file.bytes.size();) {
        const bool form2 = form2_sector(file, sectors.size());
        const std::size_t length = form2 ? form2_data : sector_data;
        std::vector<std::uint8_t> data(length);
        const std::size_t take = std::min(length, file.bytes.size() - at);
        std::copy_n(file.bytes.begin() + static_cast<std::ptrdiff_t>(at), take, data.begin());
        sectors.push_back({std::move(data), form2 ? submode_form2 : submode_data});
        at += take;
    }
    if (!sectors.empty()) {
        sectors.back().submode |= submode_end;
    }
    return sectors;
}

std::vector<std::uint8_t> path_table(const std::vector<node*>& directories, bool big_endian)
{
    std::vector<std::uint8_t> table;
    for (const node* directory : directories) {
        const std::string name = directory == directories.front() ? std::string(1, '\0') : directory->name;
        std::vector<std::uint8_t> entry(8 + name.size() + name.size() % 2);
        entry[0] = static_cast<std::uint8_t>(name.size());
        (big_endian ? put_be32 : put_le32)(entry, 2, directory->first);
        const std::uint32_t parent = directory->parent_number;
        entry[6] = static_cast<std::uint8_t>(big_endian ? parent >> 8U : parent);
        entry[7] = static_cast<std::uint8_t>(big_endian ? parent : parent >> 8U);
        std::copy(name.begin(), name.end(), entry.begin() + 8);
        table.insert(table.end(), entry.begin(), entry.end());
    }
    return table;
}

} // namespace

std::vector<track_sector> build_data_track(const std::vector<image_file>& files)
{
    node root = build_tree(files);
    // Directories in path-table order: by level, then by parent, then by
    // name, as a walk level by level over sorted children gives them.
    std::vector<node*> directories{&root};
    std::map<const node*, node*> parents;
    for (std::size_t i = 0; i < directories.size(); ++i) {
        for (auto& [name, child] : directories[i]->children) {
            if (child->is_directory) {
                child->parent_number = static_cast<std::uint32_t>(i + 1);
                parents[child.get()] = directories[i];
                directories.push_back(child.get());
            }
        }
    }
    const std::vector<std::uint8_t> little = path_table(directories, false);
    const std::vector<std::uint8_t> big = path_table(directories, true);
    const auto table_sectors = static_cast<std::uint32_t>((little.size() + sector_data - 1) / sector_data);

    // 16: the primary volume descriptor, 17: the terminator, 18 on: the two
    // path tables, then the directories, then the files.
    std::uint32_t next = 18 + 2 * table_sectors;
    for (node* directory : directories) {
        directory->first = next;
        directory->size = static_cast<std::uint32_t>(directory_sectors(*directory) * sector_data);
        next += static_cast<std::uint32_t>(directory_sectors(*directory));
    }
    std::vector<std::vector<track_sector>> contents;
    std::vector<node*> file_nodes;
    for (node* directory : directories) {
        for (auto& [name, child] : directory->children) {
            if (!child->is_directory) {
                contents.push_back(file_sectors(*child->file));
                const bool any_form2 = std::any_of(contents.back().begin(), contents.back().end(),
                                                   [](const track_sector& s) { return s.data.size() == form2_data; });
                child->first = next;
                child->size = static_cast<std::uint32_t>(any_form2 ? contents.back().size() * sector_data
                                                                   : child->file->bytes.size());
                next += static_cast<std::uint32_t>(contents.back().size());
            }
        }
    }

    std::vector<track_sector> track(next, track_sector{std::vector<std::uint8_t>(sector_data), submode_data});
    std::vector<std::uint8_t>& volume = track[16].data;
    volume[0] = 1;
    put_text(volume, 1, 5, "CD001");
    volume[6] = 1;
    put_text(volume, 8, 32, "PLAYSTATION");
    put_text(volume, 40, 32, "RIPPERS_TEST");
    put_both32(volume, 80, next);
    put_both16(volume, 120, 1);
    put_both16(volume, 124, 1);
    put_both16(volume, 128, sector_data);
    put_both32(volume, 132, static_cast<std::uint32_t>(little.size()));
    put_le32(volume, 140, 18);
    put_be32(volume, 148, 18 + table_sectors);
    const std::vector<std::uint8_t> root_record = record(std::string(1, '\0'), root.first, root.size, true);
    std::copy(root_record.begin(), root_record.end(), volume.begin() + 156);
    // The identifiers, all blank, and the four dates, all unset.
    for (const std::size_t text : std::array<std::size_t, 4>{190, 318, 446, 574}) {
        put_text(volume, text, 128, "");
    }
    for (const std::size_t text : std::array<std::size_t, 3>{702, 739, 776}) {
        put_text(volume, text, 37, "");
    }
    for (const std::size_t date : std::array<std::size_t, 4>{813, 830, 847, 864}) {
        put_text(volume, date, 16, "0000000000000000");
    }
    volume[881] = 1;
    track[17].data[0] = 255;
    put_text(track[17].data, 1, 5, "CD001");
    track[17].data[6] = 1;
    track[17].submode = submode_data | submode_end;
    for (std::size_t i = 0; i < little.size(); ++i) {
        track[18 + i / sector_data].data[i % sector_data] = little[i];
        track[18 + table_sectors + i / sector_data].data[i % sector_data] = big[i];
    }
    for (node* directory : directories) {
        const auto found = parents.find(directory);
        const std::vector<std::uint8_t> bytes =
            directory_bytes(*directory, found == parents.end() ? root : *found->second);
        for (std::size_t i = 0; i < bytes.size() / sector_data; ++i) {
            std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(i * sector_data), sector_data,
                        track[directory->first + i].data.begin());
        }
        track[directory->first + bytes.size() / sector_data - 1].submode |= submode_end;
    }
    std::size_t content = 0;
    for (const node* directory : directories) {
        for (const auto& [name, child] : directory->children) {
            if (!child->is_directory) {
                std::copy(contents[content].begin(), contents[content].end(), track.begin() + child->first);
                ++content;
            }
        }
    }
    return track;
}

std::vector<std::uint8_t> cooked_sectors(const std::vector<track_sector>& track)
{
    std::vector<std::uint8_t> bytes;
    bytes.reserve(track.size() * sector_data);
    for (const track_sector& sector : track) {
        bytes.insert(bytes.end(), sector.data.begin(), sector.data.begin() + sector_data);
    }
    return bytes;
}

std::vector<std::uint8_t> raw_sectors(const std::vector<track_sector>& track, std::uint32_t first_lba)
{
    std::vector<std::uint8_t> bytes(track.size() * raw_sector);
    const auto bcd = [](std::uint32_t value) { return static_cast<std::uint8_t>((value / 10) * 16 + value % 10); };
    for (std::size_t i = 0; i < track.size(); ++i) {
        std::uint8_t* sector = bytes.data() + i * raw_sector;
        std::fill_n(sector + 1, 10, 0xFF);
        const std::uint32_t address = first_lba + static_cast<std::uint32_t>(i) + 150;
        sector[12] = bcd(address / 75 / 60);
        sector[13] = bcd(address / 75 % 60);
        sector[14] = bcd(address % 75);
        sector[15] = 2;
        sector[18] = sector[22] = track[i].submode;
        std::copy(track[i].data.begin(), track[i].data.end(), sector + 24);
    }
    return bytes;
}

std::vector<std::uint8_t> audio_sectors(const std::vector<std::uint8_t>& sound, std::uint32_t pregap)
{
    std::vector<std::uint8_t> bytes(pregap * raw_sector);
    bytes.insert(bytes.end(), sound.begin(), sound.end());
    bytes.resize((bytes.size() + raw_sector - 1) / raw_sector * raw_sector);
    return bytes;
}

std::string cue_time(std::uint64_t sectors)
{
    std::array<char, 16> text{};
    std::snprintf(text.data(), text.size(), "%02u:%02u:%02u", static_cast<unsigned>(sectors / 75 / 60),
                  static_cast<unsigned>(sectors / 75 % 60), static_cast<unsigned>(sectors % 75));
    return text.data();
}

std::string single_bin_cue(const std::string& bin_name, std::uint64_t data_sectors,
                           const std::vector<std::uint64_t>& audio_bytes)
{
    std::string cue = "FILE \"" + bin_name + "\" BINARY\r\n  TRACK 01 MODE2/2352\r\n    INDEX 01 00:00:00\r\n";
    std::uint64_t at = data_sectors;
    for (std::size_t i = 0; i < audio_bytes.size(); ++i) {
        std::array<char, 64> track{};
        std::snprintf(track.data(), track.size(), "  TRACK %02zu AUDIO\r\n", i + 2);
        cue += track.data();
        cue += "    INDEX 00 " + cue_time(at) + "\r\n    INDEX 01 " + cue_time(at + audio_pregap_sectors) + "\r\n";
        at += audio_bytes[i] / raw_sector;
    }
    return cue;
}

std::string per_track_cue(const std::string& stem, std::size_t audio_tracks)
{
    std::string cue =
        "FILE \"" + stem + " (Track 1).bin\" BINARY\r\n  TRACK 01 MODE2/2352\r\n    INDEX 01 00:00:00\r\n";
    for (std::size_t i = 0; i < audio_tracks; ++i) {
        std::array<char, 128> track{};
        std::snprintf(track.data(), track.size(),
                      "FILE \"%s (Track %zu).bin\" BINARY\r\n  TRACK %02zu AUDIO\r\n    INDEX 00 00:00:00\r\n"
                      "    INDEX 01 %s\r\n",
                      stem.c_str(), i + 2, i + 2, cue_time(audio_pregap_sectors).c_str());
        cue += track.data();
    }
    return cue;
}
