#!/usr/bin/env bash
# The main job: builds the software, then runs the launcher ZorTavlinControle against emulated
# devices in a private test network (never on the machine's own network). Needs root.
#   tools/run.sh [seconds]          the device list; closed after SECONDS when given
#   tools/run.sh --demo [seconds]   the console demo instead: tavlin-watch for SECONDS (30)
# With a usable display (DISPLAY) the list appears on it and you work with it; choosing a device
# opens its page in a browser run inside the test network, or prints its address when there is
# none. Without one, the launcher runs on a private X server, the run saves screenshots of the
# list, closes it with a real click after SECONDS (10) and prints where the screenshots are.
# The devices show every state of the list: current ones on both subnets, one that needs the
# update of the "maj" folder beside the launcher (made here, small generated images), one on a
# foreign subnet to readdress, one at the factory address.
set -euo pipefail
cd "$(dirname "$0")/.."
demo=0
[ "${1:-}" = --demo ] && { demo=1; shift; }
secs=${1:-}
"$(pwd)/tools/install-deps.sh"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=(ZorTavlinDllCom tavlin-emu)
if [ $demo = 1 ]; then targets+=(tavlin-watch); else targets+=(ZorTavlinControle); fi
cmake --build build -j"$(nproc)" --target "${targets[@]}"
root=$(pwd)

# The user's display, reachable from the test network's namespace through its socket file
# (abstract X sockets stay in the machine's own namespace). Under sudo, root uses the user's
# X authority, or else gets a grant for local root only, taken back at the end.
display=
granted=
if [ $demo = 0 ] && [ -n "${DISPLAY:-}" ]; then
  if [ -z "${XAUTHORITY:-}" ] && [ -n "${SUDO_USER:-}" ]; then
    home=$(getent passwd "$SUDO_USER" | cut -d: -f6)
    [ -f "$home/.Xauthority" ] && export XAUTHORITY=$home/.Xauthority
  fi
  probe() { ip netns exec "$1" xwininfo -root >/dev/null 2>&1; }
  tools/testnet.sh --isolated -- xwininfo -root >/dev/null 2>&1 && display=$DISPLAY
  if [ -z "$display" ] && [ -n "${SUDO_USER:-}" ] && command -v xhost >/dev/null; then
    if runuser -u "$SUDO_USER" -- env DISPLAY="$DISPLAY" xhost +SI:localuser:root >/dev/null 2>&1; then
      granted=$SUDO_USER
      tools/testnet.sh --isolated -- xwininfo -root >/dev/null 2>&1 && display=$DISPLAY
    fi
  fi
  [ -n "$display" ] || echo "run: the display $DISPLAY does not take our windows from the test network; using a private one"
fi
revoke() {
  [ -n "$granted" ] && runuser -u "$granted" -- env DISPLAY="$DISPLAY" xhost -SI:localuser:root >/dev/null 2>&1
  true
}
trap revoke EXIT

shots=
net=(--lan)
if [ $demo = 0 ] && [ -z "$display" ]; then
  net+=(--xvfb)
  shots=$root/build/screenshots/run-$(date +%Y%m%d-%H%M%S)
  mkdir -p "$shots"
fi
tools/testnet.sh "${net[@]}" -- bash -c '
  set -eu
  root=$0 secs=$1 demo=$2 shots=$3
  emu="$root/build/tavlin-emu"
  work=$(mktemp -d /tmp/tavlin-run-XXXXXX)
  trap "rm -rf \"$work\"" EXIT
  # name, namespace, options: each emulator gets a control socket and an output file.
  start() {
    local name=$1 ns=$2; shift 2
    ip netns exec "$ns" "$emu" --control "$work/$name.ctl" "$@" >"$work/$name.out" 2>&1 &
    echo "$name $!" >>"$work/started"
  }
  if [ "$demo" = 1 ]; then
    start lan1 "$TAVLIN_NS_LAN1" --count 3 --first-ip 192.168.77.10 --comment "Atelier Café"
  else
    start lan1 "$TAVLIN_NS_LAN1" --count 2 --first-ip 192.168.77.10 --comment "Atelier Café" --version 4 \
      --device "ip=192.168.77.30,mac=00-04-A3-00-00-30,name=Ancienne,comment=Mise à jour,version=3" \
      --device "ip=10.20.30.40/24,mac=00-04-A3-00-00-40,name=Ailleurs,comment=Autre réseau" \
      --device "factory=1,mac=00-04-A3-00-00-50,name=Neuve,comment=Sortie d usine"
  fi
  start lan2 "$TAVLIN_NS_LAN2" --count 2 --first-ip 192.168.78.20 --mac-prefix 00-04-A4 --answer unicast --version 4
  while read -r name pid; do
    if ! "$root/tools/emu-control.py" --wait "$pid" "$work/$name.ctl"; then
      echo "run: the emulator of $name does not answer; its output:" >&2
      cat "$work/$name.out" >&2
      exit 1
    fi
  done <"$work/started"
  if [ "$demo" = 1 ]; then
    exec "$root/build/tavlin-watch" --seconds "${secs:-30}" --relays
  fi
  exec "$root/tools/run-launcher.sh" "$work" "$secs" "$shots"
' "$root" "$secs" "$demo" "$shots"
