// decode_block alone, per filter and on a mix of all five, over random blocks
// as an encoder makes them. Items are samples, so the rate reads as samples
// per second.
#include "adpcm.hpp"
#include "console.hpp"
#include "sample_files.hpp"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

class null_console final : public console {
public:
    void print(std::string_view /*text*/) override {}
};

void decode_blocks(benchmark::State& run, int filterid)
{
    const std::vector<adpcm_block> blocks =
        filterid < 0 ? random_blocks(4096, 1234) : random_blocks(4096, 1234, static_cast<unsigned>(filterid));
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

void filter_0(benchmark::State& run)
{
    decode_blocks(run, 0);
}
void filter_1(benchmark::State& run)
{
    decode_blocks(run, 1);
}
void filter_2(benchmark::State& run)
{
    decode_blocks(run, 2);
}
void filter_3(benchmark::State& run)
{
    decode_blocks(run, 3);
}
void filter_4(benchmark::State& run)
{
    decode_blocks(run, 4);
}
void mixed_filters(benchmark::State& run)
{
    decode_blocks(run, -1);
}

BENCHMARK(filter_0);
BENCHMARK(filter_1);
BENCHMARK(filter_2);
BENCHMARK(filter_3);
BENCHMARK(filter_4);
BENCHMARK(mixed_filters);

} // namespace

BENCHMARK_MAIN();
