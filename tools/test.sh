#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite.
#   tools/test.sh              plain build (RelWithDebInfo, warnings are errors) in build/
#   tools/test.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer, in build-asan/
#   tools/test.sh --tsan       ThreadSanitizer, threaded test programs only, in build-tsan/
# Every test program runs inside private network namespaces (tools/testnet.sh), so this needs root;
# the pure tests alone (build/tests/test_pure) need neither root, namespaces nor a display.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-plain}
"$(pwd)/tools/install-deps.sh"
jobs=$(nproc)
case "$mode" in
  plain)      dir=build;      flags=(-DTAVLIN_WERROR=ON) ;;
  --sanitize) dir=build-asan; flags=(-DTAVLIN_WERROR=ON -DTAVLIN_SANITIZE=ON) ;;
  --tsan)     dir=build-tsan; flags=(-DTAVLIN_WERROR=ON -DTAVLIN_TSAN=ON) ;;
  *) echo "usage: $0 [--sanitize|--tsan]" >&2; exit 2 ;;
esac
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${flags[@]}" >/dev/null
cmake --build "$dir" -j"$jobs"
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
filter=()
# Under ThreadSanitizer: the programs with threads of their own, and the pure tests (cheap).
[ "$mode" = --tsan ] && filter=(-R '^test_(pure|device|e2e|api_console|api_gui|firmware)$')
ctest --test-dir "$dir" --output-on-failure -j"$jobs" "${filter[@]}"
