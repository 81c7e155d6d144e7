// Whole-process benchmark: makes a raw block stream and a video container
// holding the same blocks, then runs blockrip, cinerip and the plain loop on
// them in pairs, and prints medians, ratios to the plain loop, throughput and
// peak resident memory.
#include "file_writer.hpp"
#include "process_timing.hpp"
#include "sample_files.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct contender {
    std::string name;
    std::vector<std::string> command;
    std::string output;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc < 5) {
        std::fputs("usage: process_bench <cinerip> <blockrip> <plain_loop> <work dir> [MiB] [pairs]\n", stderr);
        return 1;
    }
    const std::filesystem::path work = argv[4];
    const std::size_t mebibytes = argc > 5 ? std::stoul(argv[5]) : 256;
    const int pairs = argc > 6 ? std::stoi(argv[6]) : 15;
    std::filesystem::create_directories(work);

    const std::size_t block_count = mebibytes * 1024 * 1024 / adpcm_block_bytes;
    const std::string raw = (work / "blocks.vb").string();
    const std::string container = (work / "video.str").string();
    // The inputs are made in a child of their own: a program started from
    // this process would otherwise inherit its high-water mark of memory.
    const pid_t maker = ::fork();
    if (maker == 0) {
        const std::vector<adpcm_block> blocks = random_blocks(block_count, 42);
        // 2 KiB of audio per chunk, with 1 KiB other chunks between them.
        const bool written = write_file(raw, raw_block_stream(blocks)) &&
                             write_file(container, build_container(blocks, {{128}, {1024 - 8}}));
        ::_exit(written ? 0 : 1);
    }
    int made = 0;
    if (maker < 0 || ::waitpid(maker, &made, 0) != maker || !WIFEXITED(made) || WEXITSTATUS(made) != 0) {
        std::fputs("process_bench: cannot write the inputs\n", stderr);
        return 1;
    }
    const double samples = static_cast<double>(block_count) * samples_per_block;
    const double input_mb = static_cast<double>(block_count * adpcm_block_bytes) / 1e6;
    std::printf("inputs: %zu MiB of blocks (%zu blocks); container %.0f MiB\n", mebibytes, block_count,
                static_cast<double>(std::filesystem::file_size(container)) / (1024.0 * 1024.0));

    const contender plain{"plain loop", {argv[3], raw, (work / "plain.wav").string()}, (work / "plain.wav").string()};
    const std::vector<contender> programs{{"blockrip", {argv[2], raw}, raw + ".wav"},
                                          {"cinerip", {argv[1], container}, container + ".wav"}};
    std::fflush(stdout);
    run_once(plain.command); // warm the page cache

    // The ratio is the median of the paired wall-clock ratios; the user ratio
    // compares only the time spent in the programs' own code, which the
    // kernel's page-cache work does not blur.
    std::printf("%-10s %9s %9s %8s %10s %10s %10s %9s\n", "program", "median s", "plain s", "ratio", "user ratio",
                "MB/s", "ns/sample", "peak KiB");
    for (const contender& program : programs) {
        std::vector<double> own;
        std::vector<double> baseline;
        std::vector<double> ratios;
        std::vector<double> user_ratios;
        long peak = 0;
        for (const auto& [base, mine] : alternating_pairs(pairs, plain.command, program.command, [&](bool was_plain) {
                 std::filesystem::remove(was_plain ? plain.output : program.output);
             })) {
            own.push_back(mine.seconds);
            baseline.push_back(base.seconds);
            ratios.push_back(mine.seconds / base.seconds);
            user_ratios.push_back(mine.user_seconds / base.user_seconds);
            peak = std::max(peak, mine.peak_kib);
        }
        const double seconds = median(own);
        std::printf("%-10s %9.3f %9.3f %8.3f %10.3f %10.1f %10.2f %9ld\n", program.name.c_str(), seconds,
                    median(baseline), median(ratios), median(user_ratios), input_mb / seconds, seconds * 1e9 / samples,
                    peak);
        std::fflush(stdout);
    }
    std::filesystem::remove_all(work);
    return 0;
}
