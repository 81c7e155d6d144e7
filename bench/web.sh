#!/usr/bin/env bash
# Builds the web preset and times the page against blockrip in headless
# Chromium and Firefox (see web_bench.mjs), everything on /dev/shm.
#   bench/web.sh [MiB of blocks, default 256] [pairs of runs, default 5]
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset web >/dev/null
cmake --build --preset web >/dev/null
build=$PWD/build/web
SITE_DIR=$build/site BLOCKRIP=$build/bin/blockrip MODULES=$build/web-modules/node_modules \
  CHROMIUM=$(command -v chromium) FIREFOX=$(command -v firefox-esr) MEBIBYTES=${1:-256} PAIRS=${2:-5} \
  node bench/web_bench.mjs
