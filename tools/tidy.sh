#!/usr/bin/env bash
# clang-tidy, with the checks of .clang-tidy, on the C++ files changed recently, or on all of them.
#
#   tools/tidy.sh [--all | --since REF] [BUILD_DIR]
#
# Without an option: the files changed by the commits of the last day before HEAD (the work that
# is landing). --since REF: the files changed since that commit. BUILD_DIR (default build-tidy)
# is configured here with the compile commands; nothing is compiled. A finding fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=recent ref=
case "${1:-}" in
  --all) mode=all; shift;;
  --since) mode=since; ref=${2:?--since needs a commit}; shift 2;;
esac
build=${1:-build-tidy}
src='^(api|cli|device|firmware|infra|launcher|network|platform/linux|ui|emulator|bridge)/.*\.cpp$'
case $mode in
  all) files=$(git ls-files | grep -E "$src" || true);;
  since) files=$(git diff --name-only --diff-filter=AM "$ref" HEAD | grep -E "$src" || true);;
  recent)
    since=$(( $(git log -1 --format=%ct) - 86400 ))
    files=$(git log --since="@$since" --name-only --format= --diff-filter=AM | sort -u | grep -E "$src" || true);;
esac
files=$(for f in $files; do [ -f "$f" ] && echo "$f"; done)
if [ -z "$files" ]; then
  echo "tidy: no changed C++ file to check"
  exit 0
fi
cmake -S . -B "$build" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
start=$(date +%s)
echo "tidy: $(echo "$files" | wc -l) files"
rc=0
echo "$files" | xargs -P "$(nproc)" -n 4 clang-tidy -p "$build" --quiet 2>/dev/null || rc=$?
echo "tidy: $(( $(date +%s) - start )) s, $([ $rc = 0 ] && echo clean || echo "findings (exit $rc)")"
exit $rc
