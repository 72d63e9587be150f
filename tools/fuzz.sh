#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for the given number of seconds
# (default 30), starting from its corpus kept in fuzz/corpus/<target>/; prints each target's
# executions per second.
#   tools/fuzz.sh [seconds] [--keep]
# New inputs of a run go to build-fuzz/corpus-<target>/; with --keep, those that reach new code
# are merged into fuzz/corpus/<target>/ to be committed (the ordinary test run replays them).
# Inputs that make a target fail are kept in build-fuzz/crashes-<target>/: once the fault is
# mended, copy them into the target's corpus so that they never come back.
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${1:-30}
keep=0
[ "${2:-}" = --keep ] && keep=1
"$(pwd)/tools/install-deps.sh"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVLIN_FUZZ=ON >/dev/null
targets=$(cd fuzz && ls *_fuzz.cpp 2>/dev/null | sed 's/\.cpp$//')
[ -n "$targets" ] || { echo "no fuzz targets"; exit 0; }
cmake --build build-fuzz -j"$(nproc)" --target $targets
summary=()
for t in $targets; do
  found=build-fuzz/corpus-$t crashes=build-fuzz/crashes-$t seeds=fuzz/corpus/$t
  mkdir -p "$found" "$crashes" "$seeds"
  echo "fuzzing $t for $secs s"
  # The fuzz targets touch no network; run them in an isolated namespace all the same.
  tools/testnet.sh --isolated -- "build-fuzz/fuzz/$t" -max_total_time="$secs" -print_final_stats=1 \
    -artifact_prefix="$crashes/" "$found" "$seeds" 2>&1 | tee "build-fuzz/$t.out"
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "build-fuzz/$t.out" | tail -n 1)
  took=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "build-fuzz/$t.out" | tail -n 1)
  [ -n "$took" ] && [ "$took" -gt 0 ] || took=$secs
  summary+=("$t: ${runs:-0} runs, $(( ${runs:-0} / took )) exec/s")
  if [ $keep = 1 ]; then
    tools/testnet.sh --isolated -- "build-fuzz/fuzz/$t" -merge=1 "$seeds" "$found" >/dev/null 2>&1
  fi
done
printf '%s\n' "${summary[@]}"
