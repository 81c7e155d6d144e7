#!/usr/bin/env bash
# Builds the web preset and times the page against blockrip in Chromium,
# Firefox and WebKitGTK (see web_bench.mjs; ENGINES picks some of them),
# everything on /dev/shm, with what the browser tests use.
#   bench/web.sh [MiB of blocks, default 256] [pairs of runs, default 5]
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset web >/dev/null
cmake --build --preset web >/dev/null
export RIPPERS_WEB_ENVIRONMENT=$PWD/build/web/web-environment.json
# WebKitGTK's browser has no headless mode: it runs on a virtual display.
xvfb_run=$(node -p "require(process.env.RIPPERS_WEB_ENVIRONMENT).XVFB_RUN")
TMPDIR=/dev/shm MEBIBYTES=${1:-256} PAIRS=${2:-5} "$xvfb_run" -a node bench/web_bench.mjs
