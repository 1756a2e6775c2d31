#!/bin/sh
# Build the graphics benchmarks in Release (build-bench-gfx/, headless: no SDL) and print their figures.
set -eu
cd "$(dirname "$0")/.."
dir=build-bench-gfx
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DTESTNUV_TESTS=OFF -DTESTNUV_BENCH=ON -DCMAKE_DISABLE_FIND_PACKAGE_PkgConfig=ON >/dev/null
cmake --build "$dir" --target gfx_text_bench -j2 >/dev/null
"$dir/bench/gfx_text_bench" "$@"
