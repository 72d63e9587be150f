#!/usr/bin/env bash
# The launcher as a user runs it, from outside the process: an emulated device in the first LAN
# of the test network, the launcher on the test's X display, real clicks through xdotool.
#
#   launcher-e2e.sh LAUNCHER EMULATOR cancel|choose
#
# cancel: the list is closed with its Annuler button: no browser, the program ends with 0.
# choose: the device's row, then OK: the browser is asked for exactly "http://" and the device's
#   address, the program ends with 0, and the settings of instance "controle" name the device.
# In both, no window of the launcher but its dialogs is ever mapped (the frame stays unseen).
# The browser is a recording stand-in: first in PATH as xdg-open (which the toolkit runs), and
# as BROWSER for any other opener.
set -u
[ $# = 3 ] || { echo "usage: $0 LAUNCHER EMULATOR cancel|choose" >&2; exit 2; }
launcher=$1 emu=$2 mode=$3
if [ -z "${TAVLIN_NS_LAN1:-}" ] || [ "${TAVLIN_TESTNET:-}" != 1 ] || [ -z "${DISPLAY:-}" ]; then
  echo "launcher-e2e: refused: run inside tools/testnet.sh --lan --xvfb" >&2
  exit 2
fi
tools=$(cd "$(dirname "$0")/../../tools" && pwd)
work=$(mktemp -d /tmp/tavlin-launcher-XXXXXX)
export HOME=$work/home
mkdir -p "$HOME" "$work/bin"
unset XDG_CONFIG_HOME XDG_DOCUMENTS_DIR
for opener in xdg-open browser; do
  printf '#!/bin/sh\necho "$*" >>"%s/browser.log"\n' "$work" >"$work/bin/$opener"
  chmod +x "$work/bin/$opener"
done
export PATH=$work/bin:$PATH BROWSER=$work/bin/browser

emu_pid= app_pid=
finish() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
  if [ -n "$emu_pid" ]; then
    "$tools/emu-control.py" "$work/ctl" QUIT >/dev/null
    for _ in $(seq 30); do kill -0 "$emu_pid" 2>/dev/null || break; sleep 0.1; done
    kill "$emu_pid" 2>/dev/null
  fi
  wait
  rm -rf "$work"
}
trap finish EXIT
fail() { echo "launcher-e2e ($mode): FAILED $*" >&2; rc=1; }
rc=0

ip netns exec "$TAVLIN_NS_LAN1" "$emu" --count 1 --first-ip 192.168.77.10 --version 4 \
  --control "$work/ctl" --log "$work/emu.log" >"$work/emu.out" 2>&1 &
emu_pid=$!
"$tools/emu-control.py" --wait "$emu_pid" "$work/ctl" || { cat "$work/emu.out" >&2; exit 1; }
mac=$("$tools/emu-control.py" "$work/ctl" "GET 0 mac" | sed -n 's/^OK //p')

timeout 90 "$launcher" >"$work/launcher.out" 2>&1 &
app_pid=$!

# The launcher's mapped top-level windows, one "id WxH name" line each.
mapped() {
  xwininfo -root -children 2>/dev/null | sed -n 's/^ *\(0x[0-9a-f]*\) \(.*\): ("ZorTavlinControle".*/\1 \2/p' |
    while read -r id name; do
      xwininfo -id "$id" 2>/dev/null | grep -q 'IsViewable' || continue
      size=$(xwininfo -id "$id" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w "x" h}')
      echo "$id $size $name"
    done
}
# Any mapped window without a title, or too small to be seen, is the frame showing.
check_frame() {
  mapped | while read -r id size name; do
    if [ "$name" = '""' ] || [ "${size%x*}" -le 1 ] || [ "${size#*x}" -le 1 ]; then
      echo "$id $name $size"
    fi
  done >>"$work/frames"
}

dialog=
for _ in $(seq 100); do
  check_frame
  dialog=$(xdotool search --onlyvisible --name '^Gestionnaire Tavlin' 2>/dev/null | head -n 1)
  [ -n "$dialog" ] && break
  kill -0 "$app_pid" 2>/dev/null || break
  sleep 0.2
done
[ -n "$dialog" ] || { fail "no device list appeared"; cat "$work/launcher.out" >&2; exit 1; }
# The device's row is there once it answered a hello and the list's next refresh ran.
for _ in $(seq 50); do grep -q ' ANSWER ' "$work/emu.log" && break; sleep 0.2; done
for _ in $(seq 10); do check_frame; sleep 0.2; done

# Client positions in the list dialog: its first row, and the OK and Annuler buttons.
click() { xdotool mousemove --window "$dialog" "$1" "$2" sleep 0.1 click 1 sleep 0.3; }
if [ "$mode" = choose ]; then
  click 60 122
  click 270 405
else
  click 330 405
fi
for _ in $(seq 150); do
  check_frame
  kill -0 "$app_pid" 2>/dev/null || break
  sleep 0.2
done
if kill -0 "$app_pid" 2>/dev/null; then
  fail "the launcher is still running 30 s after the click"
  import -window root "/tmp/launcher-e2e-$mode.png" 2>/dev/null && echo "screen: /tmp/launcher-e2e-$mode.png" >&2
else
  wait "$app_pid"; code=$?; app_pid=
  [ "$code" = 0 ] || fail "the launcher ended with $code"
fi
[ -s "$work/frames" ] && fail "the frame was mapped: $(sort -u "$work/frames" | tr '\n' ';')"

opened=$(cat "$work/browser.log" 2>/dev/null)
ini=$(find "$HOME" -name tavlindll_controle.ini -print -quit)
if [ "$mode" = choose ]; then
  [ "$opened" = "http://192.168.77.10" ] || fail "the browser was asked for [$opened]"
  [ -n "$ini" ] && grep -q "^ADDR_MAC=$mac" "$ini" || fail "the settings lack ADDR_MAC=$mac: $(cat "$ini" 2>/dev/null)"
else
  [ -z "$opened" ] || fail "a browser was started for [$opened]"
fi
[ $rc = 0 ] || { echo "---- launcher output ----" >&2; tail -n 20 "$work/launcher.out" >&2; }
exit $rc
