#!/usr/bin/env bash
# The Windows deliverables, cross-built on Debian: builds the dependency cache when it is missing
# (tools/windows-deps.sh), then the DLL, the programs, the installer and the integrators' zip.
#
#   tools/windows-build.sh [--arch x86_64|i686] [--build DIR] [--jobs N]
#
# Output in DIR (default build-windows-<arch>): ZorTavlinDllCom.dll and .lib, ZorTavlinControle.exe,
# tavlin.exe, tavlin-setup-<version>-x64.exe (x86 for i686) and tavlin-<version>-<arch>-sdk.zip.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
arch=x86_64
jobs=$(nproc)
build=
while [ $# -gt 0 ]; do
    case "$1" in
    --arch) arch=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    --jobs) jobs=$2; shift 2 ;;
    *) echo "windows-build: unknown argument $1" >&2; exit 2 ;;
    esac
done
build=${build:-$root/build-windows-$arch}
t0=$(date +%s)
"$root/tools/windows-deps.sh" --arch "$arch" --jobs "$jobs"
t1=$(date +%s)
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTAVLIN_WERROR=ON \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-$arch.cmake" "${launcher[@]}" >/dev/null
cmake --build "$build" -j"$jobs"
t2=$(date +%s)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
strip=$arch-w64-mingw32-strip

# The integrators' zip: the DLL, its .def and import library, the headers, the examples.
sdk=$build/sdk/tavlin-$version-$arch
rm -rf "$build/sdk" && mkdir -p "$sdk/include/api" "$sdk/include/device" "$sdk/include/infra" \
    "$sdk/include/network" "$sdk/examples"
cp "$build/ZorTavlinDllCom.dll" "$build/ZorTavlinDllCom.lib" "$root/api/ZorTavlinDllCom.def" "$sdk/"
"$strip" --strip-unneeded "$sdk/ZorTavlinDllCom.dll"
for h in api/ZorTavlinApi.h device/ZorTavlinObj.h device/ZorTavlinListener.h \
    device/ZorTavlinRecords.h infra/ZorConfiguration.h infra/ZorExport.h network/ZorCarteEth.h \
    network/ZorDiscoverySink.h network/ZorRechercheAdresse.h network/ZorTavlinNetwork.h; do
    cp "$root/$h" "$sdk/include/$h"
done
cp "$root"/examples/windows/* "$sdk/examples/"
(cd "$build/sdk" && rm -f "../tavlin-$version-$arch-sdk.zip" &&
    zip -qr "../tavlin-$version-$arch-sdk.zip" "tavlin-$version-$arch")

# The installer, from stripped copies.
nsis=(-DOUT="$build/tavlin-setup-$version-x64.exe")
[ "$arch" = i686 ] && nsis=(-DX86 -DOUT="$build/tavlin-setup-$version-x86.exe")
stage=$build/stage
rm -rf "$stage" && mkdir -p "$stage/bitmap"
for f in ZorTavlinDllCom.dll ZorTavlinControle.exe tavlin.exe; do
    "$strip" --strip-unneeded -o "$stage/$f" "$build/$f"
done
cp "$build/Tavlin.ico" "$stage/"
cp "$build"/bitmap/*.png "$stage/bitmap/"
makensis -V2 -DVERSION="$version" -DBUILD="$stage" "${nsis[@]}" "$root/packaging/windows/tavlin.nsi"
t3=$(date +%s)
echo "windows-build: dependencies $((t1 - t0)) s, build $((t2 - t1)) s, packages $((t3 - t2)) s"
ls -l "$build"/*.dll "$build"/*.exe "$build"/*.zip | awk '{print "windows-build:", $5, $9}'
