// Reads a disc image as the page does, to check the reader against other
// tools:
//   read_disc_image <image: .iso, .bin or .cue> <output folder>
// lists every entry on standard output ("<path> <bytes>", or the reason it
// is not read) and writes each file into the folder under its path, and each
// CD audio track as "<Track NN>.wav". A cue's files are found beside it by
// name, without regard to case.
#include "cd_audio.hpp"
#include "disc_image.hpp"
#include "file_streams.hpp"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace {

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// A source that ends after `left` bytes of another.
class limited_source final : public byte_source {
public:
    limited_source(std::unique_ptr<byte_source> source, std::uint64_t length)
        : source_{std::move(source)}, left_{length}
    {
    }

    fetch_result fetch() override
    {
        const fetch_result next = source_->fetch();
        const auto take = static_cast<std::size_t>(std::min<std::uint64_t>(left_, next.bytes.size()));
        left_ -= take;
        return {next.status, next.bytes.first(take)};
    }
    io_status skip(std::uint64_t count) override
    {
        left_ -= std::min(left_, count);
        return source_->skip(count);
    }
    io_status close() override { return source_->close(); }

private:
    std::unique_ptr<byte_source> source_;
    std::uint64_t left_;
};

class disk_image final : public image_files {
public:
    explicit disk_image(std::vector<std::filesystem::path> paths) : paths_{std::move(paths)} {}

    std::size_t count() const override { return paths_.size(); }
    std::uint64_t size(std::size_t file) const override { return std::filesystem::file_size(paths_.at(file)); }
    std::unique_ptr<byte_source> open_range(std::size_t file, std::uint64_t offset, std::uint64_t length) override
    {
        std::unique_ptr<byte_source> source = disk_.open_input(paths_.at(file).string());
        if (!source || source->skip(offset) != io_status::ok) {
            return nullptr;
        }
        return std::make_unique<limited_source>(std::move(source), length);
    }

private:
    std::vector<std::filesystem::path> paths_;
    disk_files disk_;
};

std::optional<std::filesystem::path> beside(const std::filesystem::path& cue, const std::string& name)
{
    for (const auto& entry : std::filesystem::directory_iterator{cue.parent_path().empty() ? "." : cue.parent_path()}) {
        if (lower(entry.path().filename().string()) == lower(name)) {
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
    const std::string extension = lower(image.extension().string());
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
    disk_image files{paths};
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
