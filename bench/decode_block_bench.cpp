// decode_block alone, per filter and on a mix of all five, over random valid
// blocks. Items are samples, so the rate reads as samples per second.
#include "adpcm.hpp"
#include "console.hpp"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

class null_console final : public console {
public:
    void print(std::string_view /*text*/) override {}
};

// Shifts are drawn from 0-12, as an encoder makes them; -1 draws the filter too.
std::vector<adpcm_block> random_blocks(int filterid)
{
    std::mt19937 random{1234};
    std::vector<adpcm_block> blocks(4096);
    for (adpcm_block& block : blocks) {
        for (std::uint8_t& byte : block.bytes) {
            byte = static_cast<std::uint8_t>(random());
        }
        const auto filter = static_cast<unsigned>(filterid < 0 ? random() % 5 : static_cast<unsigned>(filterid));
        block.bytes[0] = static_cast<std::uint8_t>(filter << 4U | random() % 13);
    }
    return blocks;
}

void decode_blocks(benchmark::State& run, int filterid)
{
    const std::vector<adpcm_block> blocks = random_blocks(filterid);
    null_console quiet;
    predictor_state state{0, 0};
    pcm_block out{};
    for (auto _ : run) {
        for (const adpcm_block& block : blocks) {
            decode_block(block, state, out, quiet);
            benchmark::DoNotOptimize(out);
        }
    }
    run.SetItemsProcessed(run.iterations() * static_cast<std::int64_t>(blocks.size() * samples_per_block));
    run.counters["ns_per_sample"] = benchmark::Counter(
        static_cast<double>(run.iterations() * static_cast<std::int64_t>(blocks.size() * samples_per_block)),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void filter_0(benchmark::State& run) { decode_blocks(run, 0); }
void filter_1(benchmark::State& run) { decode_blocks(run, 1); }
void filter_2(benchmark::State& run) { decode_blocks(run, 2); }
void filter_3(benchmark::State& run) { decode_blocks(run, 3); }
void filter_4(benchmark::State& run) { decode_blocks(run, 4); }
void mixed_filters(benchmark::State& run) { decode_blocks(run, -1); }

BENCHMARK(filter_0);
BENCHMARK(filter_1);
BENCHMARK(filter_2);
BENCHMARK(filter_3);
BENCHMARK(filter_4);
BENCHMARK(mixed_filters);

} // namespace

BENCHMARK_MAIN();
