#!/usr/bin/env bash
# Builds the Windows deliverables (tools/windows-build.sh, dependency cache included) and the
# Linux device emulator, then runs the Windows set under Wine in the test network (ctest label
# "windows": export table, imports, the C host by ordinal, tavlin.exe, the launcher, the
# installer). Needs root (network namespaces).
#   tools/windows-test.sh [--arch x86_64|i686]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
arch=x86_64
[ "${1:-}" = --arch ] && arch=$2
t0=$(date +%s)
"$root/tools/windows-build.sh" --arch "$arch"
t1=$(date +%s)
cmake -S "$root" -B "$root/build" >/dev/null
cmake --build "$root/build" -j"$(nproc)" --target tavlin-emu
t2=$(date +%s)
rc=0
ctest --test-dir "$root/build-windows-$arch" -L windows --output-on-failure || rc=$?
t3=$(date +%s)
echo "windows-test: Windows build $((t1 - t0)) s, emulator $((t2 - t1)) s, Wine set $((t3 - t2)) s"
exit $rc
