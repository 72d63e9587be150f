#!/usr/bin/env bash
# Runs one command inside a private test network and always removes that network afterwards.
#
#   tools/testnet.sh [--isolated | --lan] [--xvfb] -- command [args...]
#
# --isolated (default): a network namespace with nothing but its own loopback.
# --lan: a "PC" namespace with two adapters, and one "LAN" namespace behind each:
#     PC  tvp0 192.168.77.1/24 (default gateway 192.168.77.254)  <->  LAN1  lan0 192.168.77.253/24
#     PC  tvp1 192.168.78.1/24                                    <->  LAN2  lan0 192.168.78.253/24
#   The command runs in the PC namespace with these variables set:
#     TAVLIN_NS_PC, TAVLIN_NS_LAN1, TAVLIN_NS_LAN2   namespace names (ip netns exec NAME ...)
#     TAVLIN_PC_IF1, TAVLIN_PC_IF2                   the PC's adapter names
#     TAVLIN_LAN_IF                                  the LAN side interface name (in both LAN namespaces)
#     TAVLIN_TESTNET=1
# --one-link (with --lan): both PC adapters on ONE link instead (two cards of a PC on one switch):
#     PC  tvp0 192.168.77.1/24, tvp1 192.168.78.1/24  <->  LAN1  bridge lan0 (192.168.77.253/24 and
#     192.168.78.253/24), its ports lanp0 and lanp1 leading to tvp0 and tvp1
#   Every broadcast reaches both adapters. TAVLIN_NS_LAN2 names the same namespace as
#   TAVLIN_NS_LAN1, and TAVLIN_ONE_LINK=1. Run ONE emulator there with the devices of both subnets:
#   two would share the discovery port, and a unicast datagram reaches only one of them. The PC
#   answers ARP only on the adapter that holds the address and does not filter by reverse path,
#   as a Windows PC: a device's answer is heard on both adapters.
# --xvfb: the command also gets a private X display (DISPLAY, XAUTHORITY), removed at the end.
# No datagram of the command can leave through the machine's own interfaces: the namespaces
# have no link to them. Processes left in the namespaces are killed before removal.
set -u
mode=isolated
xvfb=0
onelink=0
while [ $# -gt 0 ]; do
  case "$1" in
    --isolated) mode=isolated; shift;;
    --lan) mode=lan; shift;;
    --one-link) onelink=1; shift;;
    --xvfb) xvfb=1; shift;;
    --) shift; break;;
    *) break;;
  esac
done
[ $# -gt 0 ] || { echo "usage: $0 [--isolated|--lan [--one-link]] [--xvfb] -- command [args...]" >&2; exit 2; }

if [ "$(id -u)" != 0 ]; then
  echo "testnet: network namespaces need root" >&2
  exit 2
fi

id=$$
pc="tvpc$id"; lan1="tvla$id"; lan2="tvlb$id"
made=()
xdir=""

# Ends the X server of --xvfb (its pid in DIR/pid) and removes DIR.
stop_x() {
  local dir=$1 pid i
  pid=$(cat "$dir/pid" 2>/dev/null)
  # Only our server: a recycled pid names another program, and nothing else uses this folder.
  if [ -n "$pid" ] && { tr '\0' ' ' <"/proc/$pid/cmdline"; } 2>/dev/null | grep -qF -- "-auth $dir/"; then
    kill -TERM "$pid" 2>/dev/null
    for i in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null
  fi
  rm -rf "$dir"
}

cleanup() {
  local ns pids
  [ -n "$xdir" ] && stop_x "$xdir"
  for ns in "${made[@]}"; do
    pids=$(ip netns pids "$ns" 2>/dev/null)
    [ -n "$pids" ] && kill -9 $pids 2>/dev/null
  done
  for ns in "${made[@]}"; do
    ip netns del "$ns" 2>/dev/null
  done
}
trap cleanup EXIT
# A reader that leaves early (| head) must not kill us before the namespaces are removed.
trap 'exit 130' INT TERM HUP
trap 'exit 141' PIPE

# A run killed outright (SIGKILL) cannot clean up: remove what such runs left behind.
for ns in $(ip netns list 2>/dev/null | awk '{print $1}' | grep -E '^tv(pc|la|lb)[0-9]+$'); do
  owner=${ns:4}
  kill -0 "$owner" 2>/dev/null && continue
  pids=$(ip netns pids "$ns" 2>/dev/null)
  [ -n "$pids" ] && kill -9 $pids 2>/dev/null
  ip netns del "$ns" 2>/dev/null
done
for dir in /tmp/tavlin-x.*; do
  [ -d "$dir" ] || continue
  owner=${dir#/tmp/tavlin-x.}; owner=${owner%%.*}
  kill -0 "$owner" 2>/dev/null || stop_x "$dir"
done

mkns() { ip netns add "$1" && made+=("$1") && ip -n "$1" link set lo up; }

set -e
mkns "$pc"
if [ "$mode" = lan ] && [ "$onelink" = 1 ]; then
  mkns "$lan1"
  ip -n "$pc" link add tvp0 type veth peer name lanp0 netns "$lan1"
  ip -n "$pc" link add tvp1 type veth peer name lanp1 netns "$lan1"
  ip -n "$lan1" link add lan0 type bridge
  for port in lanp0 lanp1; do
    ip -n "$lan1" link set "$port" master lan0
    ip -n "$lan1" link set "$port" up
  done
  ip -n "$lan1" link set lan0 up
  ip -n "$lan1" addr add 192.168.77.253/24 broadcast 192.168.77.255 dev lan0
  ip -n "$lan1" addr add 192.168.78.253/24 broadcast 192.168.78.255 dev lan0
  ip -n "$lan1" route add default dev lan0
  for key in all.arp_ignore=1 all.arp_announce=2 all.rp_filter=0 default.rp_filter=0; do
    ip netns exec "$pc" sysctl -qw "net.ipv4.conf.$key"
  done
  ip -n "$pc" addr add 192.168.77.1/24 broadcast 192.168.77.255 dev tvp0
  ip -n "$pc" addr add 192.168.78.1/24 broadcast 192.168.78.255 dev tvp1
  for ifc in tvp0 tvp1; do
    ip netns exec "$pc" sysctl -qw "net.ipv4.conf.$ifc.rp_filter=0"
    ip -n "$pc" link set "$ifc" up
  done
  ip -n "$pc" route add default via 192.168.77.254 dev tvp0
  export TAVLIN_NS_LAN1="$lan1" TAVLIN_NS_LAN2="$lan1" TAVLIN_ONE_LINK=1
  export TAVLIN_PC_IF1=tvp0 TAVLIN_PC_IF2=tvp1 TAVLIN_LAN_IF=lan0
elif [ "$mode" = lan ]; then
  mkns "$lan1"
  mkns "$lan2"
  ip -n "$pc" link add tvp0 type veth peer name lan0 netns "$lan1"
  ip -n "$pc" link add tvp1 type veth peer name lan0 netns "$lan2"
  ip -n "$pc" addr add 192.168.77.1/24 broadcast 192.168.77.255 dev tvp0
  ip -n "$pc" addr add 192.168.78.1/24 broadcast 192.168.78.255 dev tvp1
  ip -n "$pc" link set tvp0 up
  ip -n "$pc" link set tvp1 up
  ip -n "$pc" route add default via 192.168.77.254 dev tvp0
  for ns in "$lan1" "$lan2"; do
    ip -n "$ns" link set lan0 up
  done
  ip -n "$lan1" addr add 192.168.77.253/24 broadcast 192.168.77.255 dev lan0
  ip -n "$lan2" addr add 192.168.78.253/24 broadcast 192.168.78.255 dev lan0
  # Devices outside the subnet (factory address, foreign subnets) answer by broadcast on the link.
  ip -n "$lan1" route add default dev lan0
  ip -n "$lan2" route add default dev lan0
  export TAVLIN_NS_LAN1="$lan1" TAVLIN_NS_LAN2="$lan2"
  export TAVLIN_PC_IF1=tvp0 TAVLIN_PC_IF2=tvp1 TAVLIN_LAN_IF=lan0
fi
export TAVLIN_NS_PC="$pc" TAVLIN_TESTNET=1
set +e

# The X server runs in the PC namespace and listens only on the abstract socket of its display,
# which exists in that namespace alone: parallel runs share no display socket, no lock file and
# no socket file in /tmp/.X11-unix (where a server ending could remove another's file, and
# "xvfb-run -a" picks a number before taking it). It gives its number once it accepts
# connections (-displayfd). Only clients with this run's cookie get in.
start_x() {
  local n cookie
  xdir=$(mktemp -d "/tmp/tavlin-x.$id.XXXXXX") || return 1
  cookie=$(mcookie) || return 1
  touch "$xdir/server" "$xdir/Xauthority" || return 1
  # The server takes every cookie of its file, whatever display the entry names (its own number
  # is not known yet); the clients' file gets the entry of the real number below.
  xauth -q -f "$xdir/server" add :0 . "$cookie" || return 1
  mkfifo "$xdir/ready" || return 1
  ip netns exec "$pc" Xvfb -displayfd 3 -auth "$xdir/server" -screen 0 1280x1024x24 \
    -nolisten tcp -nolisten unix -noreset \
    3>"$xdir/ready" </dev/null >"$xdir/log" 2>&1 &
  echo $! >"$xdir/pid"
  # The number comes once the server accepts connections; nothing (end of file) if it failed.
  read -r -t 60 n <"$xdir/ready"
  if ! [[ "$n" =~ ^[0-9]+$ ]]; then
    echo "testnet: the X server did not start:" >&2
    cat "$xdir/log" >&2
    return 1
  fi
  xauth -q -f "$xdir/Xauthority" add ":$n" . "$cookie" || return 1
  export DISPLAY=":$n" XAUTHORITY="$xdir/Xauthority"
}

if [ "$xvfb" = 1 ]; then
  start_x || exit 2
fi
ip netns exec "$pc" "$@"
rc=$?
exit $rc
