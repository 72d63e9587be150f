#!/usr/bin/env bash
# The installed files as an integrator and a Debian user meet them:
#   install-check.sh BUILD
# cmake --install into a fresh DESTDIR places every file; a C host built only with the flags
# pkg-config gives, and one built by a CMake project through find_package, each drive an
# emulated device in the test network; the Debian package lists its computed dependencies and
# lintian finds no error (its warnings are printed).
set -u
build=$(cd "$1" && pwd)
src=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d /tmp/tavlin-install-XXXXXX)
trap 'rm -rf "$work"' EXIT
rc=0
fail() { echo "install-check: FAILED $*" >&2; rc=1; }

dest=$work/root
DESTDIR=$dest cmake --install "$build" >"$work/install.log" || { cat "$work/install.log" >&2; exit 1; }
prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
p=$dest$prefix
lib=$(find "$p" -name 'libZorTavlinDllCom.so.*.*' | head -n 1)
libdir=$(dirname "${lib:-$p/lib/x}")
for f in bin/ZorTavlinControle bin/tavlin-emu include/tavlin/api/ZorTavlinApi.h \
         include/tavlin/device/ZorTavlinObj.h share/tavlin/Tavlin.ico share/tavlin/bitmap/ok.png \
         share/applications/tavlin-controle.desktop share/icons/hicolor/48x48/apps/tavlin-controle.png \
         share/icons/hicolor/256x256/apps/tavlin-controle.png share/man/man1/ZorTavlinControle.1.gz \
         share/man/man1/tavlin-emu.1.gz share/doc/tavlin/copyright \
         share/bash-completion/completions/tavlin; do
  [ -e "$p/$f" ] || fail "not installed: $f"
done
# Every manual page in both languages, each one read by groff without a warning.
for page in ZorTavlinControle tavlin tavlin-emu tavlin-bridge; do
  for dir in man1 fr/man1; do
    f=$p/share/man/$dir/$page.1.gz
    if [ -e "$f" ]; then
      warnings=$(zcat "$f" | groff -man -Tutf8 -ww -z 2>&1)
      [ -z "$warnings" ] || fail "$dir/$page.1: $warnings"
    else
      fail "not installed: share/man/$dir/$page.1.gz"
    fi
  done
done
[ -n "$lib" ] || fail "no versioned library installed"
for f in libZorTavlinDllCom.so libZorTavlinDllCom.so.2 pkgconfig/ZorTavlinDllCom.pc \
         cmake/ZorTavlinDllCom/ZorTavlinDllComConfig.cmake; do
  [ -e "$libdir/$f" ] || fail "not installed: $libdir/$f"
done
soname=$(objdump -p "$lib" 2>/dev/null | awk '/SONAME/{print $2}')
[ "$soname" = libZorTavlinDllCom.so.2 ] || fail "SONAME [$soname]"
header_includes=$(grep -ho '#include "[^"]*"' -r "$p/include/tavlin" | sort -u | sed 's/#include "\(.*\)"/\1/')
for h in $header_includes; do [ -e "$p/include/tavlin/$h" ] || fail "installed headers include $h, not installed"; done

# The same host twice: built with pkg-config's flags alone, and by a CMake project.
export PKG_CONFIG_PATH=$libdir/pkgconfig
cc -o "$work/host_pc" "$src/tests/launcher/host_installe.c" $(pkg-config --cflags --libs ZorTavlinDllCom) ||
  fail "the host does not build with pkg-config's flags"
mkdir -p "$work/proj"
cat >"$work/proj/CMakeLists.txt" <<EOS
cmake_minimum_required(VERSION 3.18)
project(hote C CXX)
find_package(ZorTavlinDllCom 2.0 REQUIRED)
add_executable(host_cmake $src/tests/launcher/host_installe.c)
target_link_libraries(host_cmake PRIVATE ZorTavlinDllCom::ZorTavlinDllCom)
EOS
{ cmake -S "$work/proj" -B "$work/proj/b" -DCMAKE_PREFIX_PATH="$p" && cmake --build "$work/proj/b"; } \
  >"$work/proj.log" 2>&1 || { cat "$work/proj.log" >&2; fail "the CMake project does not build"; }
for host in "$work/host_pc" "$work/proj/b/host_cmake"; do
  [ -x "$host" ] || continue
  "$src/tools/testnet.sh" --lan -- env LD_LIBRARY_PATH="$libdir" "$src/tests/hosts/with-emu.sh" \
    "$dest$prefix/bin/tavlin-emu" --expect snum=00111100 --expect relais=0101 -- "$host" \
    >"$work/host.log" 2>&1 || { cat "$work/host.log" >&2; fail "$(basename "$host") against the emulator"; }
done

# The Debian package.
(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/pkg") >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack"; }
deb=$(ls "$work"/pkg/*.deb 2>/dev/null | head -n 1)
if [ -n "$deb" ]; then
  depends=$(dpkg-deb -I "$deb" | sed -n 's/^ Depends: //p')
  echo "install-check: $(basename "$deb") depends on: $depends"
  for d in libc6 libwxgtk3.2 libcurl; do
    case "$depends" in *"$d"*) ;; *) fail "the package's dependencies lack $d";; esac
  done
  lintian --no-tag-display-limit "$deb" >"$work/lintian.log" 2>&1
  grep '^W:' "$work/lintian.log" | sed 's/^/install-check: lintian /'
  if grep -q '^E:' "$work/lintian.log"; then
    grep '^E:' "$work/lintian.log" >&2
    fail "lintian reports errors"
  fi
fi
exit $rc
