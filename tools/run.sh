#!/usr/bin/env bash
# The main job: builds the software, then runs it against emulated devices in a private test
# network (never on the machine's own network). Needs root.
#   tools/run.sh [seconds]
# The watcher starts only once every emulator answers on its control socket; an emulator that
# does not (a bad option, a port in use) stops the run with its own error output.
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${1:-30}
"$(pwd)/tools/install-deps.sh"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target ZorTavlinDllCom tavlin-emu tavlin-watch
root=$(pwd)
exec tools/testnet.sh --lan -- bash -c '
  set -eu
  root=$0 secs=$1
  emu="$root/build/tavlin-emu"
  work=$(mktemp -d /tmp/tavlin-run-XXXXXX)
  trap "rm -rf \"$work\"" EXIT
  # name, namespace, options: each emulator gets a control socket and an output file.
  start() {
    local name=$1 ns=$2; shift 2
    ip netns exec "$ns" "$emu" --control "$work/$name.ctl" "$@" >"$work/$name.out" 2>&1 &
    echo "$name $!" >>"$work/started"
  }
  start lan1 "$TAVLIN_NS_LAN1" --count 3 --first-ip 192.168.77.10 --comment "Atelier Café"
  start lan2 "$TAVLIN_NS_LAN2" --count 2 --first-ip 192.168.78.20 --mac-prefix 00-04-A4 --answer unicast
  while read -r name pid; do
    if ! "$root/tools/emu-control.py" --wait "$pid" "$work/$name.ctl"; then
      echo "run: the emulator of $name does not answer; its output:" >&2
      cat "$work/$name.out" >&2
      exit 1
    fi
  done <"$work/started"
  "$root/build/tavlin-watch" --seconds "$secs" --relays
' "$root" "$secs"
