#!/usr/bin/env bash
# Builds the Release preset and runs the benchmarks: decode_block alone, the
# whole programs against the plain loop, then discrip over whole disc images
# against blockrip run file by file (DISC_PAIRS pairs, default 5).
#   bench/run.sh [MiB of blocks, default 256] [pairs of runs, default 15]
# The inputs and outputs go to $BENCH_DIR, by default a directory in memory
# (/dev/shm) where there is one, so that the disk's write-back does not
# swamp the differences between the programs.
set -euo pipefail
cd "$(dirname "$0")/.."
mebibytes=${1:-256}
pairs=${2:-15}
if [ -z "${BENCH_DIR:-}" ]; then
  if [ -d /dev/shm ] && [ -w /dev/shm ]; then BENCH_DIR=/dev/shm/rippers-bench; else BENCH_DIR=build/bench-work; fi
fi
cmake --preset release >/dev/null
cmake --build --preset release --target cinerip blockrip discrip make_disc_image plain_loop process_bench \
  decode_block_bench discrip_bench >/dev/null
build=build/release
trap 'rm -rf "$BENCH_DIR"' EXIT

echo "== decode_block alone (ns_per_sample)"
"$build/bin/decode_block_bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
  --benchmark_filter='.*' 2>/dev/null | grep -E '_median|Benchmark'
echo
echo "== whole process, against the plain loop on the bare blocks ($BENCH_DIR)"
"$build/bin/process_bench" "$build/bin/cinerip" "$build/bin/blockrip" "$build/bin/plain_loop" \
  "$BENCH_DIR" "$mebibytes" "$pairs"
echo
echo "== discrip -j 2 over a disc image, against blockrip file by file and by xargs -P2 ($BENCH_DIR)"
"$build/bin/discrip_bench" "$build/bin/discrip" "$build/bin/blockrip" "$build/bin/make_disc_image" \
  "$BENCH_DIR/discrip" "${DISC_PAIRS:-5}"
