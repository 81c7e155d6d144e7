#!/usr/bin/env bash
# Builds the web preset and times the page against blockrip in Chromium,
# Firefox and WebKitGTK (see web_bench.mjs; ENGINES picks some of them),
# everything on /dev/shm.
#   bench/web.sh [MiB of blocks, default 256] [pairs of runs, default 5]
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset web >/dev/null
cmake --build --preset web >/dev/null
build=$PWD/build/web
cached() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
# WebKitGTK's browser has no headless mode: it runs on a virtual display.
TMPDIR=/dev/shm SITE_DIR=$build/site BLOCKRIP=$build/bin/blockrip WEB_MODULES=$build/web-modules/node_modules \
  CHROMIUM=$(cached RIPPERS_CHROMIUM) FIREFOX=$(cached RIPPERS_FIREFOX) \
  WEBKIT_DRIVER=$(cached RIPPERS_WEBKIT_DRIVER) MINIBROWSER=$(cached RIPPERS_MINIBROWSER) \
  MEBIBYTES=${1:-256} PAIRS=${2:-5} \
  "$(cached RIPPERS_XVFB_RUN)" -a node bench/web_bench.mjs
