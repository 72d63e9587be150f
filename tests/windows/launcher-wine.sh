#!/usr/bin/env bash
# The launcher under Wine on the private display of tools/testnet.sh --xvfb, with three emulated
# devices: once its list has found them, the screen is saved (SHOTS/wine-launcher-list.png) and
# the list is closed as a user would (its cancel button).
#   launcher-wine.sh EMULATOR WINE-RUN ZorTavlinControle.exe SHOTS
set -u
emu=$1 wine_run=$2 prog=$3 shots=$4
[ "${TAVLIN_TESTNET:-}" = 1 ] && [ -n "${DISPLAY:-}" ] ||
    { echo "launcher-wine: run inside tools/testnet.sh --lan --xvfb" >&2; exit 2; }
work=$(mktemp -d /tmp/tavlin-wine-launcher-XXXXXX)
export HOME=$work/home
mkdir -p "$HOME" "$shots"
ctl=$work/ctl
emu_pid=
app_pid=
finish() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
    if [ -n "$emu_pid" ]; then
        "$(dirname "$0")/../../tools/emu-control.py" "$ctl" QUIT >/dev/null
        kill "$emu_pid" 2>/dev/null
        wait "$emu_pid" 2>/dev/null
    fi
    rm -rf "$work"
}
trap finish EXIT
ip netns exec "$TAVLIN_NS_LAN1" "$emu" --count 3 --first-ip 192.168.77.20 --version "Tavlin v3" \
    --comment "Salle été" --control "$ctl" --log "$work/emu.log" >"$work/emu.out" 2>&1 &
emu_pid=$!
"$(dirname "$0")/../../tools/emu-control.py" --wait "$emu_pid" "$ctl" ||
    { echo "launcher-wine: the emulator did not start" >&2; exit 1; }

"$wine_run" "$prog" &
app_pid=$!
# The list window, by its title, once Wine has started and the devices answered (bounded).
win=
for _ in $(seq 120); do
    win=$(xdotool search --onlyvisible --name '^Gestionnaire Tavlin' 2>/dev/null | head -n1)
    [ -n "$win" ] && break
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 1
done
[ -n "$win" ] || { echo "launcher-wine: FAILED no list window" >&2; exit 1; }
sleep 8
import -window root "$shots/wine-launcher-list.png"
echo "launcher-wine: screenshot $shots/wine-launcher-list.png"
# Closed as a user cancelling would: a click on "Annuler" (182 x 51 from the dialog's lower right
# corner). Keys typed without a window manager do not reach Wine's dialog.
eval "$(xdotool getwindowgeometry --shell "$win")"
xdotool mousemove --window "$win" $((WIDTH - 182)) $((HEIGHT - 51)) click 1
t0=$(date +%s)
for _ in $(seq 120); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.5; done
echo "launcher-wine: ended $(($(date +%s) - t0)) s after the cancel"
if kill -0 "$app_pid" 2>/dev/null; then
    echo "launcher-wine: FAILED the launcher did not end on cancel" >&2
    exit 1
fi
wait "$app_pid"
rc=$?
app_pid=
echo "launcher-wine: the launcher ended with $rc"
exit $rc
