// The XA decoder as a whole process against ffmpeg's: makes a file of raw XA
// sectors (one stream at 37,800 samples per second, stereo and then mono, a
// sector the project's encoder made, repeated), then in alternating pairs
// times read_sound_file converting it to a WAV file and ffmpeg decoding it
// to nothing, and prints the median user seconds of each and their ratio.
//   xa_bench <read_sound_file> <ffmpeg> <work dir> [MiB, default 64] [pairs, default 9]
#include "file_writer.hpp"
#include "process_timing.hpp"
#include "xa_encoder.hpp"

#include <cmath>
#include <filesystem>

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fputs("usage: xa_bench <read_sound_file> <ffmpeg> <work dir> [MiB] [pairs]\n", stderr);
        return 1;
    }
    const std::filesystem::path work = argv[3];
    const std::size_t mebibytes = argc > 4 ? std::stoul(argv[4]) : 64;
    const int pairs = argc > 5 ? std::stoi(argv[5]) : 9;
    std::filesystem::create_directories(work / "out");

    for (const xa_coding coding : {xa_coding{true, false}, xa_coding{false, false}}) {
        std::vector<std::int16_t> tone(2 * xa_max_sector_samples / 2);
        for (std::size_t i = 0; i < tone.size(); ++i) {
            tone[i] =
                static_cast<std::int16_t>(8000 * std::sin(static_cast<double>(i / 2) * (i % 2 == 0 ? 0.05 : 0.031)));
        }
        const std::vector<xa_sound> sound = encode_xa(tone, coding);
        const auto sector = xa_raw_sector(0, {1, 0, xa_audio_submode, xa_coding_byte(coding, false)}, sound[0]);
        const std::size_t sectors = mebibytes * 1024 * 1024 / sector.size();
        std::vector<std::uint8_t> file;
        file.reserve(sectors * sector.size());
        for (std::size_t n = 0; n < sectors; ++n) {
            file.insert(file.end(), sector.begin(), sector.end());
        }
        for (const std::size_t submode : {std::size_t{18}, std::size_t{22}}) {
            file[(sectors - 1) * sector.size() + submode] |= xa_end_of_file; // the stream's last sector
        }
        const std::string input = (work / "music.xa").string();
        if (!write_file(input, file)) {
            std::fputs("xa_bench: cannot write the input\n", stderr);
            return 1;
        }
        file = {};

        const std::vector<std::string> ours{argv[1], "xa", input, (work / "out").string()};
        const std::vector<std::string> theirs{argv[2], "-v",   "error", "-f", "psxstr", "-i",
                                              input,   "-map", "0:a:0", "-f", "null",   "-"};
        run_once(theirs); // warm the page cache
        std::vector<double> own;
        std::vector<double> other;
        std::vector<double> ratios;
        for (const auto& [mine, base] : alternating_pairs(pairs, ours, theirs, [&work](bool was_ours) {
                 if (was_ours) {
                     std::filesystem::remove(work / "out" / "music.xa.wav");
                 }
             })) {
            own.push_back(mine.user_seconds);
            other.push_back(base.user_seconds);
            ratios.push_back(mine.user_seconds / base.user_seconds);
        }
        std::printf("%zu MiB of %s XA sectors (%zu), %d pairs: user s read_sound_file %.3f, ffmpeg %.3f, ratio %.3f\n",
                    mebibytes, coding.stereo ? "stereo" : "mono", sectors, pairs, median(own), median(other),
                    median(ratios));
        std::fflush(stdout);
    }
    std::filesystem::remove_all(work);
    return 0;
}
