#!/usr/bin/env bash
# Builds the web preset and times the page against the native programs in
# Chromium, Firefox and WebKitGTK (see web_bench.mjs; ENGINES picks some of
# them), everything on /dev/shm, with what the browser tests use.
#   bench/web.sh [cases, default single] [pairs of runs, default 5]
#   bench/web.sh single,image,8x64,16x1,3000x160b,8x64-P2,16x1-P2,3000x160b-P2
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset web >/dev/null
cmake --build --preset web >/dev/null
export RIPPERS_WEB_ENVIRONMENT=$PWD/build/web/web-environment.json
# WebKitGTK's browser has no headless mode: it runs on a virtual display.
xvfb_run=$(node -p "require(process.env.RIPPERS_WEB_ENVIRONMENT).XVFB_RUN")
TMPDIR=/dev/shm CASES=${1:-single} PAIRS=${2:-5} "$xvfb_run" -a node bench/web_bench.mjs
