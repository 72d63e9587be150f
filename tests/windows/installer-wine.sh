#!/usr/bin/env bash
# The installer under Wine, in a fresh prefix: silent install (/S), the launcher run from the
# installed folder against emulated devices (screenshot), silent uninstall; then nothing of
# ours may be left, neither file nor registry key.
#   installer-wine.sh EMULATOR INSTALLER SHOTS
set -u
emu=$1 setup=$2 shots=$3
here=$(cd "$(dirname "$0")" && pwd)
export WINEPREFIX=$(mktemp -d /tmp/tavlin-wine-setup-XXXXXX) WINEDEBUG=-all WINEARCH=win64
# Wine writes menus and file associations under HOME: the run's own.
export HOME=$WINEPREFIX/home
mkdir -p "$HOME"
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
trap 'wineserver -k 2>/dev/null; rm -rf "$WINEPREFIX"' EXIT
rc=0
fail() { echo "installer-wine: FAILED $*" >&2; rc=1; }
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tavlin'
dir="$WINEPREFIX/drive_c/Program Files/Tavlin"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tavlin"

wineboot -i >/dev/null 2>&1
wine "$setup" /S
wineserver -w
for f in ZorTavlinDllCom.dll ZorTavlinControle.exe tavlin.exe Tavlin.ico uninstall.exe bitmap; do
    [ -e "$dir/$f" ] || fail "$f not installed"
done
[ -e "$menu/Tavlin.lnk" ] || fail "no Start-menu shortcut"
wine reg query "$key" /v DisplayName 2>/dev/null | grep -q Tavlin || fail "no entry in the installed programs"

mkdir -p "$shots"
"$here/launcher-wine.sh" "$emu" wine "$dir/ZorTavlinControle.exe" "$shots" || fail "launcher from the installed folder"
[ -f "$shots/wine-launcher-list.png" ] && mv "$shots/wine-launcher-list.png" "$shots/wine-installed-launcher.png"

wine "$dir/uninstall.exe" /S
wineserver -w
[ ! -e "$dir" ] || fail "files left: $(find "$dir" | head -n 5 | tr '\n' ' ')"
[ ! -e "$menu" ] || fail "Start-menu folder left"
wine reg query "$key" >/dev/null 2>&1 && fail "registry key left"
grep -il 'tavlin' "$WINEPREFIX"/*.reg && fail "registry values naming Tavlin left"
echo "installer-wine: $([ $rc = 0 ] && echo passed || echo FAILED)"
exit $rc
