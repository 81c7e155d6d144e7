// Converts a file of a sound format as the page does, to check the page
// against it:
//   read_sound_file <xa|vag|bank> <file> [<the bank's .VB>] <output folder>
// lists each part on standard output ("<suffix> <channels> <rate>", or why
// the file gives none) and writes it into the folder as the file's name with
// the part's suffix and ".wav".
#include "console.hpp"
#include "file_streams.hpp"
#include "sound_files.hpp"

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

class quiet_console final : public console {
public:
    void print(std::string_view) override {}
};

bool convert_part(sound_format format, const sound_file& file, const sound_part& part, const std::string& path)
{
    disk_files disk;
    const std::unique_ptr<byte_sink> sink = disk.create_output(path, "");
    if (!sink) {
        return false;
    }
    wav_output output{*sink};
    quiet_console messages;
    const part_conversion converted = convert_sound_part(format, file, part, output, messages);
    return sink->close() == io_status::ok && converted.outcome == stage_outcome::finished;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string kind = argc > 3 ? argv[1] : "";
    const sound_format format = kind == "xa"    ? sound_format::xa
                                : kind == "vag" ? sound_format::vag
                                                : sound_format::bank;
    if ((kind != "xa" && kind != "vag" && kind != "bank") || argc > (kind == "bank" ? 5 : 4)) {
        std::fputs("usage: read_sound_file <xa|vag|bank> <file> [<the bank's .VB>] <output folder>\n", stderr);
        return 1;
    }
    const std::string path = argv[2];
    const std::string folder = argv[argc - 1];
    std::error_code error;
    sound_file file{[path] { return disk_files{}.open_input(path); }, std::filesystem::file_size(path, error)};
    if (argc == 5) {
        const std::string body = argv[3];
        file.open_body = [body] { return disk_files{}.open_input(body); };
        file.body_size = std::filesystem::file_size(body, error);
    }
    if (error) {
        std::fprintf(stderr, "read_sound_file: %s\n", error.message().c_str());
        return 1;
    }
    const sound_listing listing = list_sound_parts(format, file);
    if (!listing.reason.empty() || listing.unreadable) {
        std::printf("%s\n", listing.unreadable ? "the file cannot be read" : listing.reason.c_str());
        return listing.unreadable ? 1 : 0;
    }
    const std::string name = std::filesystem::path{path}.filename().string();
    for (const sound_part& part : listing.parts) {
        std::printf("%s %u %u\n", part.suffix.c_str(), unsigned{part.format.channels}, part.format.rate);
        if (!convert_part(format, file, part, folder + "/" + name + part.suffix + ".wav")) {
            std::fprintf(stderr, "read_sound_file: cannot convert %s%s\n", name.c_str(), part.suffix.c_str());
            return 1;
        }
    }
    return 0;
}
