#!/usr/bin/env bash
# The launcher part of tools/run.sh, inside the test network with the emulators running.
#   run-launcher.sh WORK SECONDS SHOTS
# SHOTS empty: the user's display; the list stays until closed, or SECONDS when given.
# SHOTS a folder: a private display; screenshots go there and a click on Annuler closes the
# list after SECONDS (10).
set -u
work=$1 secs=$2 shots=$3
root=$(cd "$(dirname "$0")/.." && pwd)

# The launcher with its pictures and an update folder beside it, as an installed copy would
# have them, so that the build tree stays as it is. The images are generated, not firmware.
app=$work/app
mkdir -p "$app/maj/maj_v4" "$work/bin"
cp "$root/build/launcher/ZorTavlinControle" "$app/"
ln -s "$root/build/bitmap" "$app/bitmap"
ln -s "$root/build/Tavlin.ico" "$app/Tavlin.ico"
head -c 4096 /dev/urandom >"$app/maj/maj_v4/tavlin.cry"
head -c 2048 /dev/urandom >"$app/maj/maj_v4/tavlin.bin"

# The device's page must be opened from inside the test network: xdg-open here starts a
# browser found in it, else says where the page is.
cat >"$work/bin/xdg-open" <<EOS
#!/bin/sh
url=\$1
echo "\$url" >>"$work/opened"
for b in firefox-esr firefox chromium epiphany-browser; do
  command -v "\$b" >/dev/null || continue
  echo "run: opening \$url in \$b (inside the test network)"
  case "\$b" in
    chromium) exec "\$b" --no-sandbox --user-data-dir="$work/chromium" "\$url" ;;
    *) exec "\$b" "\$url" ;;
  esac
done
echo "run: the device's page is \$url; no browser here can reach the test network (one must"
echo "run inside it: install firefox-esr or chromium); the page begins:"
curl -s --max-time 5 "\$url" | head -c 600; echo
EOS
chmod +x "$work/bin/xdg-open"
export PATH=$work/bin:$PATH BROWSER=$work/bin/xdg-open
export HOME=$work/home
mkdir -p "$HOME"

"$app/ZorTavlinControle" &
app_pid=$!
ends() { for _ in $(seq "$1"); do kill -0 "$app_pid" 2>/dev/null || return 0; sleep 0.2; done; return 1; }

if [ -z "$shots" ]; then
  echo "run: the device list is on your display; choose a device or close the list."
  if [ -n "$secs" ] && ! ends $((secs * 5)); then
    echo "run: $secs s are over, closing the list"
    kill "$app_pid" 2>/dev/null
  fi
  wait "$app_pid"
  # A browser started for the page needs the devices: they stay until it is closed.
  browser() { pgrep -f "$work/chromium" || pgrep -x firefox-esr || pgrep -x firefox; } >/dev/null
  if [ -s "$work/opened" ] && browser; then
    echo "run: close the browser to end the run"
    while browser; do sleep 1; done
  fi
  exit 0
fi

dialog=
for _ in $(seq 100); do
  dialog=$(xdotool search --onlyvisible --name '^Gestionnaire Tavlin' 2>/dev/null | head -n 1)
  [ -n "$dialog" ] && break
  sleep 0.2
done
[ -n "$dialog" ] || { echo "run: the device list did not appear" >&2; kill "$app_pid"; exit 1; }
# Discovery first, with the factory device being given an address in the PC's subnet; then
# the whole list, and each row selected (its validation button and notice follow its state).
sleep 3
import -window root "$shots/1-decouverte.png"
sleep 6
import -window root "$shots/2-liste.png"
for row in 1 2 3 4 5 6 7; do
  xdotool mousemove --window "$dialog" 60 $((100 + row * 23)) click 1
  sleep 0.5
  import -window root "$shots/3-ligne-$row.png"
done
sleep "${secs:-10}"
import -window root "$shots/4-fin.png"
xdotool mousemove --window "$dialog" 330 405 click 1
if ! ends 75; then
  echo "run: the launcher did not end after Annuler; stopping it" >&2
  kill "$app_pid"
fi
wait "$app_pid"
echo "run: no display here, so the launcher ran on a private one; screenshots of the list:"
ls "$shots"/*.png | sed 's/^/  /'
