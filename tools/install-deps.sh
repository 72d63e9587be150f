#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build, test and run the project (needs root).
#   tools/install-deps.sh [--windows]   the latter adds the Windows cross build and its Wine set
set -euo pipefail
pkgs=(build-essential cmake pkg-config libwxgtk3.2-dev libcurl4-openssl-dev libgtest-dev libgmock-dev libbenchmark-dev
      xvfb xauth x11-utils x11-xserver-utils xdotool imagemagick lintian curl iproute2 clang libclang-rt-14-dev python3 xdg-utils librsvg2-bin fonts-dejavu-core fontconfig
      clang-tidy libmosquitto-dev mosquitto mosquitto-clients)
if [ "${1:-}" = --windows ]; then
  pkgs+=(g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine wine64 nsis zip dpkg-dev)
fi
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
