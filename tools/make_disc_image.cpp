// Makes disc images of a folder, as rippers keep their discs, for the tests
// and for trying the page:
//   make_disc_image <folder> <output stem> [<CD audio file>...]
// writes <stem>.bin and <stem>.cue (the data track in raw Mode 2 sectors,
// then each audio track with a two-second pregap), the same disc as one .bin
// per track with "<stem> (tracks).cue", and <stem>.iso, which keeps 2048
// bytes of each sector as such copies do (a Form 2 sector loses the rest).
// A file of whole 2352-byte sectors (XA sound as the sample maker writes
// it) is laid on the disc sector by sector, each with its subheader; other
// files named *.XA are written in Form 2 sectors. An audio file is 16-bit
// stereo samples at 44,100 per second.
#include "disc_images.hpp"
#include "file_writer.hpp"
#include "xa_sectors.hpp"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<std::uint8_t> read_all(const std::filesystem::path& path)
{
    std::ifstream in{path, std::ios::binary};
    return {std::istreambuf_iterator<char>{in}, std::istreambuf_iterator<char>{}};
}

bool is_xa(const std::filesystem::path& path)
{
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return extension == ".XA";
}

std::vector<image_file> folder_files(const std::filesystem::path& folder)
{
    std::vector<image_file> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator{folder}) {
        if (entry.is_regular_file()) {
            image_file file{entry.path().lexically_relative(folder).generic_string(), read_all(entry.path()), {}};
            if (recognise_sector_form(file.bytes, file.bytes.size()).form == sector_form::raw) {
                file = whole_sectors_file(file.path, file.bytes);
            } else if (is_xa(entry.path())) {
                file.form2 = {true};
            }
            files.push_back(std::move(file));
        }
    }
    std::sort(files.begin(), files.end(), [](const image_file& a, const image_file& b) { return a.path < b.path; });
    return files;
}

bool write_text(const std::string& path, const std::string& text)
{
    return write_file(path, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fputs("usage: make_disc_image <folder> <output stem> [<CD audio file>...]\n", stderr);
        return 1;
    }
    const std::vector<image_file> files = folder_files(argv[1]);
    const std::string stem = argv[2];
    const std::string name = std::filesystem::path{stem}.filename().string();
    const std::vector<track_sector> track = build_data_track(files);
    std::vector<std::uint8_t> single = raw_sectors(track);
    bool written = write_file(stem + " (Track 1).bin", single);
    std::vector<std::uint64_t> audio_bytes;
    for (int i = 3; i < argc; ++i) {
        const std::vector<std::uint8_t> audio = audio_sectors(read_all(argv[i]), audio_pregap_sectors);
        audio_bytes.push_back(audio.size());
        single.insert(single.end(), audio.begin(), audio.end());
        written = written && write_file(stem + " (Track " + std::to_string(i - 1) + ").bin", audio);
    }
    written = written && write_file(stem + ".bin", single) &&
              write_text(stem + ".cue", single_bin_cue(name + ".bin", track.size(), audio_bytes)) &&
              write_text(stem + " (tracks).cue", per_track_cue(name, audio_bytes.size()));
    written = written && write_file(stem + ".iso", cooked_sectors(track));
    if (!written) {
        std::fputs("make_disc_image: cannot write the images\n", stderr);
        return 1;
    }
    return 0;
}
