#!/bin/sh
# The orbit: the position function (per call) and the one-pass exact spread of a day's count.
set -eu
cd "$(dirname "$0")/.."
[ -x build/bench/orbit_bench ] || { echo "build first: make build" >&2; exit 1; }
build/bench/orbit_bench
