#!/usr/bin/env bash
# Runs one host program of the flat interface against one emulated device in the first LAN of
# the test network, then checks what the device received.
#
#   with-emu.sh EMULATOR [--expect KEY=VALUE]... [--expect-log TEXT]... [--expect-lib-log TEXT]...
#               -- HOST [ARGS...]
#
# Before the host starts, the device gets known inputs; the host finds them in its environment:
#   TAVLIN_EMU_MAC, TAVLIN_EMU_IP, TAVLIN_EMU_LOG     the device and the emulator's log
#   TAVLIN_EMU_CTL                                    the emulator's control socket
#   TAVLIN_EXPECT_ENUM, TAVLIN_EXPECT_ADC0            digital inputs, analog input 0 (>> 2)
#   TAVLIN_EXPECT_UART                                text the device received on its serial port
# --expect KEY=VALUE: after the host, "GET 0 KEY" must answer VALUE.
# --expect-log TEXT: after the host, the emulator's log must hold TEXT.
# --expect-lib-log TEXT: after the host, the library's log file (under HOME) must hold TEXT.
# --quiet-traces: the host's standard error must carry no debug trace of the library (the host's
#   own debug messages begin with its name).
# HOME is a fresh folder, so settings and log files of the run stay out of the real home.
set -u
[ $# -ge 1 ] || { echo "usage: $0 EMULATOR [--expect K=V]... [--expect-log T]... -- HOST..." >&2; exit 2; }
emu=$1; shift
expects=(); logs=(); liblogs=(); quiet=0
while [ $# -gt 0 ]; do
  case "$1" in
    --expect) expects+=("$2"); shift 2;;
    --expect-log) logs+=("$2"); shift 2;;
    --expect-lib-log) liblogs+=("$2"); shift 2;;
    --quiet-traces) quiet=1; shift;;
    --) shift; break;;
    *) echo "with-emu: unknown option $1" >&2; exit 2;;
  esac
done
[ $# -gt 0 ] || { echo "with-emu: no host command" >&2; exit 2; }
# The emulator needs the test network's namespaces; the hosts check for themselves.
if [ -z "${TAVLIN_NS_LAN1:-}" ] || [ "${TAVLIN_TESTNET:-}" != 1 ]; then
  echo "with-emu: refused: run inside tools/testnet.sh --lan (the hosts send datagrams)" >&2
  exit 2
fi
[ -x "$emu" ] || { echo "with-emu: no emulator at $emu" >&2; exit 2; }

work=$(mktemp -d /tmp/tavlin-host-XXXXXX)
ctl=$work/ctl
log=$work/emu.log
export HOME=$work/home
mkdir -p "$HOME"
unset XDG_CONFIG_HOME XDG_DOCUMENTS_DIR

# One control command; prints the reply line (empty when the emulator did not answer in 2 s).
control() {
  "$(dirname "$0")/../../tools/emu-control.py" "$ctl" "$1"
}

emu_pid=
finish() {
  if [ -n "$emu_pid" ]; then
    control QUIT >/dev/null
    for _ in $(seq 30); do kill -0 "$emu_pid" 2>/dev/null || break; sleep 0.1; done
    kill "$emu_pid" 2>/dev/null
    wait "$emu_pid" 2>/dev/null
  fi
  rm -rf "$work"
}
trap finish EXIT

ip netns exec "$TAVLIN_NS_LAN1" "$emu" --count 1 --first-ip 192.168.77.50 --mac-prefix 00-04-A3 \
  --name hote --comment essai --version 3.1 --control "$ctl" --log "$log" >"$work/emu.out" 2>&1 &
emu_pid=$!

if ! "$(dirname "$0")/../../tools/emu-control.py" --wait "$emu_pid" "$ctl"; then
  echo "with-emu: the emulator did not start" >&2
  cat "$work/emu.out" >&2
  exit 1
fi

list=$(control LIST)
mac=$(printf '%s\n' "$list" | sed -n 's/.*mac=\([0-9A-Fa-f-]*\).*/\1/p')
ip=$(printf '%s\n' "$list" | sed -n 's/.*ip=\([0-9.]*\).*/\1/p')
[ -n "$mac" ] && [ -n "$ip" ] || { echo "with-emu: bad LIST answer [$list]" >&2; exit 1; }

# Inputs 0x81, analog input 0 = 803 (the card gives 803 >> 2 = 200), serial text "hello".
for cmd in "SET 0 ena=10000001" "SET 0 ana1=803" "SET 0 uart=hello"; do
  r=$(control "$cmd")
  [ "${r%% *}" = OK ] || { echo "with-emu: [$cmd] answered [$r]" >&2; exit 1; }
done
export TAVLIN_EMU_MAC=$mac TAVLIN_EMU_IP=$ip TAVLIN_EMU_LOG=$log TAVLIN_EMU_CTL=$ctl
export TAVLIN_EXPECT_ENUM=0x81 TAVLIN_EXPECT_ADC0=200 TAVLIN_EXPECT_UART=hello

echo "with-emu: device $mac at $ip; running $*"
timeout 240 "$@" 2>"$work/host.err"
rc=$?
cat "$work/host.err" >&2
[ $rc = 0 ] || echo "with-emu: host ended with $rc" >&2
# Debug messages other than the host's own ("Debug: host_...") are the library's traces.
if [ $quiet = 1 ] && grep 'Debug: ' "$work/host.err" | grep -q -v 'Debug: host_'; then
  echo "with-emu: FAILED debug traces on the host's standard error" >&2
  rc=1
fi

for e in "${expects[@]}"; do
  key=${e%%=*}; want=${e#*=}
  got=$(control "GET 0 $key")
  if [ "$got" != "OK $want" ]; then
    echo "with-emu: FAILED $key: [$got], want [OK $want]" >&2
    rc=1
  fi
done
for t in "${logs[@]}"; do
  if ! grep -qF -- "$t" "$log"; then
    echo "with-emu: FAILED the emulator's log lacks [$t]" >&2
    rc=1
  fi
done
for t in "${liblogs[@]}"; do
  if ! find "$HOME" -name 'ZorTavlin_*.log' -exec grep -qF -- "$t" {} \; -print | grep -q .; then
    echo "with-emu: FAILED the library's log lacks [$t]" >&2
    rc=1
  fi
done
if [ $rc != 0 ]; then
  echo "---- emulator log (last lines) ----" >&2
  tail -n 30 "$log" >&2
fi
exit $rc
