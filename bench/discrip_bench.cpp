// discrip over a whole disc image against the shell loop that users write
// today: blockrip run file by file over the same files extracted to disk,
// and two at a time with xargs -P2. Makes two discs of raw block streams, 8
// files of 64 MiB and 3,000 files of 160 bytes (in 30 folders), each as a
// folder and as a Mode 2 .bin/.cue; then, in alternating pairs, times
// `discrip -j 2` on the cue sheet against each loop, and prints the medians
// of wall and user+system seconds, the ratios, discrip's peak memory, and
// the bytes that `discrip --list` reads.
//   discrip_bench <discrip> <blockrip> <make_disc_image> <work dir> [pairs, default 5] [disc, default both]
#include "file_writer.hpp"
#include "process_timing.hpp"
#include "sample_files.hpp"

#include <filesystem>

namespace {

struct disc {
    const char* name;
    std::size_t files;
    std::size_t bytes; // of each
};

// The folder of streams and the image made of it, in a child of its own: a
// program started from this process would otherwise inherit its high-water
// mark of memory.
bool make_disc(const disc& made, const std::filesystem::path& work, const char* make_disc_image)
{
    const pid_t maker = ::fork();
    if (maker == 0) {
        const std::vector<std::uint8_t> stream = raw_block_stream(random_blocks(made.bytes / adpcm_block_bytes, 7));
        bool written = true;
        for (std::size_t i = 0; i < made.files && written; ++i) {
            const std::filesystem::path folder =
                made.files > 100 ? work / "DISC" / ("D" + std::to_string(i / 100)) : work / "DISC";
            std::filesystem::create_directories(folder);
            written = write_file((folder / ("S" + std::to_string(i) + ".VB")).string(), stream);
        }
        ::_exit(written ? 0 : 1);
    }
    int status = 0;
    if (maker < 0 || ::waitpid(maker, &status, 0) != maker || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return false;
    }
    std::filesystem::current_path(work);
    const measurement image = run_once({make_disc_image, "DISC", "Disc"});
    return image.seconds > 0;
}

std::vector<std::string> files_under(const std::filesystem::path& folder)
{
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator{folder}) {
        if (entry.is_regular_file()) {
            files.push_back(entry.path().string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

void remove_outputs(const std::filesystem::path& work)
{
    std::filesystem::remove_all(work / "out");
    for (const std::string& file : files_under(work / "DISC")) {
        if (file.ends_with(".wav")) {
            std::filesystem::remove(file);
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 5) {
        std::fputs("usage: discrip_bench <discrip> <blockrip> <make_disc_image> <work dir> [pairs] [disc]\n", stderr);
        return 1;
    }
    // The runs are made in the work folder, where the programs' own names
    // would not be found.
    const std::string discrip = std::filesystem::absolute(argv[1]).string();
    const std::string blockrip = std::filesystem::absolute(argv[2]).string();
    const std::string make_disc_image = std::filesystem::absolute(argv[3]).string();
    const std::filesystem::path work = std::filesystem::absolute(argv[4]);
    const int pairs = argc > 5 ? std::stoi(argv[5]) : 5;
    const std::string only = argc > 6 ? argv[6] : "";
    std::printf("%-10s %-6s %8s %8s %8s %8s %8s %8s %9s\n", "disc", "loop", "ours s", "loop s", "ratio", "cpu s",
                "loop cpu", "ratio", "peak MiB");
    for (const disc& made : {disc{"8x64MiB", 8, 64 << 20}, disc{"3000x160B", 3000, 160}}) {
        if (!only.empty() && only != made.name) {
            continue;
        }
        std::filesystem::remove_all(work);
        std::filesystem::create_directories(work);
        if (!make_disc(made, work, make_disc_image.c_str())) {
            std::fputs("discrip_bench: cannot make the disc\n", stderr);
            return 1;
        }
        std::vector<std::string> loop{"/bin/bash", "-c", R"(for f in "$@"; do "$0" "$f" >/dev/null; done)", blockrip};
        std::vector<std::string> two{"/bin/bash", "-c", R"(printf "%s\0" "$@" | xargs -0 -P2 -n1 "$0" >/dev/null)",
                                     blockrip};
        for (const std::string& file : files_under(work / "DISC")) {
            loop.push_back(file);
            two.push_back(file);
        }
        const std::vector<std::string> ours{discrip, "-j", "2", "-o", "out", "Disc.cue"};
        run_once(ours); // warm the page cache
        remove_outputs(work);
        long peak = 0;
        for (const auto& [name, theirs] : {std::pair{"loop", loop}, std::pair{"xargs", two}}) {
            std::vector<double> own;
            std::vector<double> other;
            std::vector<double> ratios;
            std::vector<double> own_cpu;
            std::vector<double> other_cpu;
            std::vector<double> cpu_ratios;
            for (const auto& [mine, base] :
                 alternating_pairs(pairs, ours, theirs, [&work](bool) { remove_outputs(work); })) {
                own.push_back(mine.seconds);
                other.push_back(base.seconds);
                ratios.push_back(mine.seconds / base.seconds);
                own_cpu.push_back(mine.user_seconds + mine.system_seconds);
                other_cpu.push_back(base.user_seconds + base.system_seconds);
                cpu_ratios.push_back(own_cpu.back() / other_cpu.back());
                peak = std::max(peak, mine.peak_kib);
            }
            std::printf("%-10s %-6s %8.3f %8.3f %8.3f %8.3f %8.3f %8.3f %9.1f\n", made.name, name, median(own),
                        median(other), median(ratios), median(own_cpu), median(other_cpu), median(cpu_ratios),
                        static_cast<double>(peak) / 1024);
            std::fflush(stdout);
        }
        const measurement listing = run_once({discrip, "--list", "Disc.cue"});
        std::printf("%-10s --list reads %lld bytes of a %.1f MiB image, %.0f bytes a file; peak %.1f MiB\n", made.name,
                    listing.bytes_read, static_cast<double>(std::filesystem::file_size(work / "Disc.bin")) / (1 << 20),
                    static_cast<double>(listing.bytes_read) / static_cast<double>(made.files),
                    static_cast<double>(listing.peak_kib) / 1024);
        std::fflush(stdout);
    }
    std::filesystem::remove_all(work);
    return 0;
}
