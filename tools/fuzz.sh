#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for the given number of seconds (default 30).
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${1:-30}
"$(pwd)/tools/install-deps.sh"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVLIN_FUZZ=ON >/dev/null
targets=$(cd fuzz && ls *_fuzz.cpp 2>/dev/null | sed 's/\.cpp$//')
[ -n "$targets" ] || { echo "no fuzz targets"; exit 0; }
cmake --build build-fuzz -j"$(nproc)" --target $targets
for t in $targets; do
  corpus=build-fuzz/corpus-$t
  mkdir -p "$corpus"
  echo "fuzzing $t for $secs s"
  # The fuzz targets touch no network; run them in an isolated namespace all the same.
  tools/testnet.sh --isolated -- "build-fuzz/fuzz/$t" -max_total_time="$secs" -print_final_stats=1 "$corpus"
done
