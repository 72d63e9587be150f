#!/usr/bin/env bash
# "tavlin discover --seconds 1 --json" with 250 emulated devices (125 on each subnet): wall time
# and devices found, beside tavlin-watch --seconds 1 (a console program on the shared library
# that lists what it found after one second) in the same run, rounds alternating.
#
#   bench/cli_bench.sh BUILD_DIR [ROUNDS]      inside tools/testnet.sh --lan (tools/bench.sh cli)
set -u
[ $# -ge 1 ] || { echo "usage: $0 BUILD_DIR [ROUNDS]" >&2; exit 2; }
if [ "${TAVLIN_TESTNET:-}" != 1 ] || [ -z "${TAVLIN_NS_LAN2:-}" ]; then
  echo "cli_bench: refused: run inside tools/testnet.sh --lan" >&2
  exit 2
fi
build=$1
rounds=${2:-5}
control=$(dirname "$0")/../tools/emu-control.py
work=$(mktemp -d /tmp/tavlin-cli-bench-XXXXXX)
export HOME=$work/home
mkdir -p "$HOME"
unset XDG_CONFIG_HOME XDG_DOCUMENTS_DIR

pids=()
finish() {
  for i in 1 2; do "$control" "$work/emu$i.ctl" QUIT >/dev/null 2>&1; done
  for p in "${pids[@]}"; do
    for _ in $(seq 30); do kill -0 "$p" 2>/dev/null || break; sleep 0.1; done
    kill "$p" 2>/dev/null
    wait "$p" 2>/dev/null
  done
  rm -rf "$work"
}
trap finish EXIT

for i in 1 2; do
  ns=TAVLIN_NS_LAN$i
  ip netns exec "${!ns}" "$build/tavlin-emu" --count 125 --first-ip "192.168.7$((6 + i)).10" \
    --version "Tavlin v3" --control "$work/emu$i.ctl" --log /dev/null >/dev/null 2>&1 &
  pids+=($!)
  "$control" --wait "$!" "$work/emu$i.ctl" || { echo "cli_bench: the emulator did not start" >&2; exit 1; }
done

now_ms() { echo $(($(date +%s%N) / 1000000)); }
tavlin_round() {
  local t0 out
  t0=$(now_ms)
  out=$("$build/tavlin" discover --seconds 1 --json)
  echo "$(($(now_ms) - t0)) $(printf '%s' "$out" | python3 -c 'import json,sys; print(len(json.load(sys.stdin)["devices"]))')"
}
watch_round() {
  local t0 out
  t0=$(now_ms)
  out=$("$build/tavlin-watch" --seconds 1)
  echo "$(($(now_ms) - t0)) $(printf '%s\n' "$out" | sed -n 's/^\([0-9]*\) device(s):$/\1/p' | head -n 1)"
}

echo "round  tavlin discover (ms, found)   tavlin-watch (ms, found)"
t_all=(); w_all=()
for r in $(seq "$rounds"); do
  read -r tm tn < <(tavlin_round)
  read -r wm wn < <(watch_round)
  printf '%5d  %8d %6s              %8d %6s\n' "$r" "$tm" "$tn" "$wm" "${wn:-0}"
  t_all+=("$tm"); w_all+=("$wm")
done
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
echo "median  tavlin discover $(median "${t_all[@]}") ms, tavlin-watch $(median "${w_all[@]}") ms (250 devices)"
