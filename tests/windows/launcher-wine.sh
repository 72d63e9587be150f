#!/usr/bin/env bash
# The launcher under Wine on the private display of tools/testnet.sh --xvfb, with three emulated
# devices: once its list has found them, the screen is saved (SHOTS/wine-launcher-list.png) and
# the list is closed as a user would (its cancel button).
# With "update": one device at v3 and an update folder maj/maj_v4 beside a copy of the program;
# the device is updated through the list (its row, the update button, the warning's OK), both
# transfers reach it, it comes back at v4 and the list says so (screenshots of each step).
#   launcher-wine.sh EMULATOR WINE-RUN ZorTavlinControle.exe SHOTS [update]
set -u
emu=$1 wine_run=$2 prog=$3 shots=$4 mode=${5:-list}
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
count=3
if [ "$mode" = update ]; then
    count=1
    mkdir -p "$work/app/maj/maj_v4"
    cp -r "$prog" "$(dirname "$prog")/bitmap" "$(dirname "$prog")/Tavlin.ico" "$work/app/"
    prog=$work/app/$(basename "$prog")
    head -c 965 /dev/urandom >"$work/app/maj/maj_v4/tavlin.cry"
    head -c 3000 /dev/urandom >"$work/app/maj/maj_v4/tavlin.bin"
fi
ip netns exec "$TAVLIN_NS_LAN1" "$emu" --count $count --first-ip 192.168.77.20 --version "Tavlin v3" \
    --comment "Salle été" --reboot-secs 2 --control "$ctl" --log "$work/emu.log" >"$work/emu.out" 2>&1 &
emu_pid=$!
"$(dirname "$0")/../../tools/emu-control.py" --wait "$emu_pid" "$ctl" ||
    { echo "launcher-wine: the emulator did not start" >&2; exit 1; }

"$wine_run" "$prog" &
app_pid=$!
# The first visible window whose title matches, within N half seconds while the launcher runs.
find_window() {
    local w
    for _ in $(seq "$2"); do
        w=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1)
        [ -n "$w" ] && { echo "$w"; return; }
        kill -0 "$app_pid" 2>/dev/null || return
        sleep 0.5
    done
}
# The list window, by its title, once Wine has started and the devices answered.
win=$(find_window '^Gestionnaire Tavlin' 240)
[ -n "$win" ] || { echo "launcher-wine: FAILED no list window" >&2; exit 1; }
sleep 8
shot() { import -window root "$shots/wine-launcher-$1.png" && echo "launcher-wine: screenshot $shots/wine-launcher-$1.png"; }
# A click at a place of a window given from its lower right corner (Wine's dialogs keep their size).
click_from_corner() {
    eval "$(xdotool getwindowgeometry --shell "$1")"
    xdotool mousemove --window "$1" $((WIDTH - $2)) $((HEIGHT - $3)) click 1
}
if [ "$mode" = update ]; then
    shot update-list
    xdotool mousemove --window "$win" 60 122 click 1
    sleep 2
    click_from_corner "$win" 241 51
    # The warning before an update: its OK button.
    box=$(find_window '^Tavlin$' 20)
    [ -n "$box" ] || { shot update-failed; echo "launcher-wine: FAILED no warning before the update" >&2; exit 1; }
    sleep 1
    shot update-warning
    warn=$box
    # Its OK, clicked again while the box stays (a click as it appears may be lost).
    for _ in $(seq 5); do
        xdotool search --onlyvisible --name '^Tavlin$' 2>/dev/null | grep -qx "$warn" || break
        click_from_corner "$warn" 41 16
        sleep 2
    done
    # Bounded: both transfers, the device's restart at v4, then the message that ends the update
    # (a small window named Tavlin; the progress window is larger).
    box=
    for _ in $(seq 120); do
        for w in $(xdotool search --onlyvisible --name '^Tavlin$' 2>/dev/null); do
            eval "$(xdotool getwindowgeometry --shell "$w")"
            [ "$w" != "$warn" ] && [ "$HEIGHT" -lt 120 ] && box=$w
        done
        [ -n "$box" ] && break
        sleep 1
    done
    grep -q 'BOOT-END.*v3->Tavlin v4' "$work/emu.log" ||
        { shot update-failed; echo "launcher-wine: FAILED the device did not come back at v4" >&2; exit 1; }
    grep ' UPLOAD ' "$work/emu.log" | grep -qv 'fault\|not received' ||
        { shot update-failed; echo "launcher-wine: FAILED no page upload: $(grep UPLOAD "$work/emu.log")" >&2; exit 1; }
    [ -n "$box" ] || { shot update-failed; echo "launcher-wine: FAILED no message at the end of the update" >&2; exit 1; }
    sleep 1
    shot update-done
    click_from_corner "$box" 45 16
    sleep 2
else
    shot list
fi
# Closed as a user cancelling would: a click on "Annuler" (182 x 51 from the dialog's lower right
# corner). Keys typed without a window manager do not reach Wine's dialog.
click_from_corner "$win" 182 51
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
