#!/usr/bin/env bash
# The main job: builds the software, then runs it against emulated devices in a private test
# network (never on the machine's own network). Needs root.
#   tools/run.sh [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${1:-30}
"$(pwd)/tools/install-deps.sh"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target ZorTavlinDllCom tavlin-emu tavlin-watch
root=$(pwd)
exec tools/testnet.sh --lan -- bash -c '
  set -e
  emu="$0/build/tavlin-emu"
  ip netns exec "$TAVLIN_NS_LAN1" "$emu" --count 3 --first-ip 192.168.77.10 --comment "Atelier Café" >/dev/null 2>&1 &
  ip netns exec "$TAVLIN_NS_LAN2" "$emu" --count 2 --first-ip 192.168.78.20 --mac-prefix 00-04-A4 --answer unicast >/dev/null 2>&1 &
  sleep 1
  "$0/build/tavlin-watch" --seconds "$1" --relays
' "$root" "$secs"
