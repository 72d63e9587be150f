#!/usr/bin/env bash
# Runs one Windows program under Wine in a fresh prefix (removed afterwards), without Wine's
# debug output, from the program's own folder (where its DLL and pictures are).
#   wine-run.sh PROGRAM.exe [ARGS...]
set -u
# A bare name (cmd.exe) is one of Wine's own programs, run from where the caller is.
prog=$1; shift
case "$prog" in */*) prog=$(readlink -f "$prog") && cd "$(dirname "$prog")" ;; esac
prefix=$(mktemp -d /tmp/tavlin-wine-XXXXXX)
# Wine writes menus and file associations under HOME: a home of the run's own, unless the
# caller already gave one (with-emu.sh does).
case "${HOME:-}" in /tmp/*) ;; *) export HOME=$prefix/home && mkdir -p "$HOME" ;; esac
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" WINEARCH=win64
cleanup() {
    WINEPREFIX=$prefix wineserver -k 2>/dev/null
    rm -rf "$prefix"
}
trap cleanup EXIT
# The prefix is made first, so its start-up time stays out of the program's own time-outs.
wineboot -i >/dev/null 2>&1
wine "$prog" "$@"
