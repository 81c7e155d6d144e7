// Reads a disc image as the page does, to check the reader against other
// tools:
//   read_disc_image <image: .iso, .bin or .cue> <output folder>
// lists every entry on standard output ("<path> <bytes>", or the reason it
// is not read) and writes each file into the folder under its path, and each
// CD audio track as "<Track NN>.wav". A cue's files are found beside it by
// name, without regard to case.
#include "cd_audio.hpp"
#include "cue_sheet.hpp"
#include "disc_image.hpp"
#include "file_streams.hpp"
#include "named_image.hpp"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace {

std::optional<std::filesystem::path> beside(const std::filesystem::path& cue, const std::string& name)
{
    for (const auto& entry : std::filesystem::directory_iterator{cue.parent_path().empty() ? "." : cue.parent_path()}) {
        if (lower_case(entry.path().filename().string()) == lower_case(name)) {
            return entry.path();
        }
    }
    return std::nullopt;
}

bool write_entry(image_files& files, const disc_entry& entry, const std::filesystem::path& to)
{
    std::filesystem::create_directories(to.parent_path());
    disk_files disk;
    const std::unique_ptr<byte_source> source = open_entry(files, entry);
    const std::unique_ptr<byte_sink> sink = disk.create_output(to.string(), "");
    if (!source || !sink) {
        return false;
    }
    bool copied = true;
    if (entry.kind == entry_kind::audio_track) {
        copied = write_cd_audio(*source, entry.size, *sink) == copy_outcome::done;
    } else {
        for (fetch_result next = source->fetch(); copied && !next.bytes.empty(); next = source->fetch()) {
            copied = next.status == fetch_status::ok && sink->write(next.bytes) == io_status::ok;
        }
    }
    const bool closed = sink->close() == io_status::ok;
    return copied && closed && source->close() == io_status::ok;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fputs("usage: read_disc_image <image: .iso, .bin or .cue> <output folder>\n", stderr);
        return 1;
    }
    const std::filesystem::path image = argv[1];
    const std::filesystem::path folder = argv[2];
    const std::string extension = lower_case(image.extension().string());
    std::vector<std::filesystem::path> paths{image};
    std::optional<cue_sheet> sheet;
    if (extension == ".cue") {
        std::ifstream in{image, std::ios::binary};
        const std::vector<std::uint8_t> text{std::istreambuf_iterator<char>{in}, std::istreambuf_iterator<char>{}};
        cue_reading read = parse_cue(text);
        if (!read.error.empty()) {
            std::fprintf(stderr, "read_disc_image: %s\n", read.error.c_str());
            return 1;
        }
        sheet = std::move(read.sheet);
        paths.clear();
        for (const cue_file& file : sheet->files) {
            const std::optional<std::filesystem::path> found = beside(image, file.name);
            if (!found) {
                std::fprintf(stderr, "read_disc_image: %s is not beside the cue sheet\n", file.name.c_str());
                return 1;
            }
            paths.push_back(*found);
        }
    }
    disk_files disk;
    std::vector<named_file> parts;
    for (const std::filesystem::path& path : paths) {
        parts.push_back({path.string(), std::filesystem::file_size(path)});
    }
    named_image files{disk, parts};
    const disc_listing listing = sheet ? list_cue_image(*sheet, files)
                                       : list_image(extension == ".iso" ? image_kind::iso : image_kind::raw_bin, files);
    if (!listing.error.empty()) {
        std::fprintf(stderr, "read_disc_image: %s\n", listing.error.c_str());
        return 1;
    }
    for (const disc_entry& entry : listing.entries) {
        if (entry.kind == entry_kind::unread) {
            std::printf("%s: %s\n", entry.path.c_str(), entry.reason.c_str());
            continue;
        }
        const std::string name = entry.kind == entry_kind::audio_track ? entry.path + ".wav" : entry.path;
        if (!write_entry(files, entry, folder / name)) {
            std::fprintf(stderr, "read_disc_image: cannot write %s\n", name.c_str());
            return 1;
        }
        std::printf("%s %llu\n", name.c_str(),
                    static_cast<unsigned long long>(std::filesystem::file_size(folder / name)));
    }
    return 0;
}
