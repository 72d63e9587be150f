#!/usr/bin/env bash
# Runs the benchmarks inside a private test network (tools/testnet.sh --lan).
#
#   tools/bench.sh [device] [benchmark options]  device runtime figures (bench/device_bench.cpp)
#   tools/bench.sh api [--changes N] [--paswx]   flat C interface from a plain C host against
#                                                one emulated device (bench/api_bench.c)
#   tools/bench.sh firmware                      bootloader upload and HTTP post against their
#                                                bare baselines (bench/firmware_bench.cpp)
#   tools/bench.sh discovery [rounds]            hello to 250 emulated devices registered,
#                                                beside a bare socket (bench/discovery_bench.cpp)
#   tools/bench.sh list                          one refresh of the device list with 250 devices,
#                                                beside clearing and refilling it (bench/list_bench.cpp)
#   tools/bench.sh bridge [changes [options]]    tavlin bridge with 250 emulated devices and a private
#                                                broker: CPU, memory, state change latency, beside
#                                                the watched device and the bare exchanges'
#                                                floor (bench/bridge_bench.py)
#
# BUILD names the build folder (default build/); the needed targets are built first.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${BUILD:-build}
[ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -DTAVLIN_WERROR=ON >/dev/null
# tools/bench.sh cli [rounds]: "tavlin discover --seconds 1 --json" with 250 emulated devices,
# beside tavlin-watch on the shared library (bench/cli_bench.sh).
if [ "${1:-}" = cli ]; then
  shift
  cmake --build "$build" -j2 --target tavlin tavlin-watch tavlin-emu >/dev/null
  exec "$root/tools/testnet.sh" --lan -- "$root/bench/cli_bench.sh" "$root/$build" "$@"
fi
if [ "${1:-}" = bridge ]; then
  shift
  cmake --build "$build" -j2 --target tavlin tavlin-emu bridge_floor >/dev/null
  exec "$root/tools/testnet.sh" --lan -- "$root/bench/bridge_bench.py" "$root/$build" "$@"
fi
what=device
case "${1:-}" in
  api|device|discovery|firmware|list) what=$1; shift ;;
esac
if [ "$what" = api ]; then
  cmake --build "$build" -j2 --target api_bench tavlin-emu >/dev/null
  exec "$root/tools/testnet.sh" --lan -- "$root/tests/hosts/with-emu.sh" \
    "$root/$build/tavlin-emu" -- "$root/$build/bench/api_bench" "$@"
fi
if [ "$what" = discovery ]; then
  cmake --build "$build" -j2 --target discovery_bench tavlin-emu >/dev/null
  exec "$root/tools/testnet.sh" --lan -- "$root/$build/bench/discovery_bench" "$@"
fi
if [ "$what" = list ]; then
  cmake --build "$build" -j2 --target list_bench >/dev/null
  exec "$root/tools/testnet.sh" --isolated --xvfb -- env GDK_BACKEND=x11 "$root/$build/bench/list_bench" "$@"
fi
if [ "$what" = firmware ]; then
  cmake --build "$build" -j2 --target firmware_bench tavlin-emu >/dev/null
  exec "$root/tools/testnet.sh" --lan -- "$root/$build/bench/firmware_bench" "$@"
fi
cmake --build "$build" -j2 --target device_bench tavlin-emu >/dev/null
exec "$root/tools/testnet.sh" --lan -- "$root/$build/bench/device_bench" "$@"
