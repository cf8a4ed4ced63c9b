#!/usr/bin/env bash
# Live capture through the capture helper against direct capture in the process, at
# tcpreplay's top speed over a veth pair: frames sent, frames the model counted, and
# the capture's own received and dropped counts, round by round, the two ways in turn.
# Needs root (a network namespace, a veth pair, file capabilities).
#
#   bench/capture_helper.sh [--frames N] [--rounds R] [--replay PATH] [--helper PATH]
#
# direct: hopscope-replay run by root with HOPSCOPE_CAPTURE=direct (libpcap in the
# process); helper: hopscope-replay run by nobody, which holds no capability, reading
# the helper's stream. The capture is made by tools/make_test_capture.py (60-byte
# frames, 64 stations) in a temporary directory.
set -euo pipefail
cd "$(dirname "$0")/.."
frames=500000 rounds=3
replay=build/src/replay/hopscope-replay
helper=build/src/model/capture/helper/hopscope-capture
while [ $# -gt 0 ]; do
  case $1 in
    --frames) frames=$2; shift 2 ;;
    --rounds) rounds=$2; shift 2 ;;
    --replay) replay=$2; shift 2 ;;
    --helper) helper=$2; shift 2 ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
done
[ "$(id -u)" = 0 ] || { echo "needs root" >&2; exit 2; }
command -v tcpreplay >/dev/null || { echo "needs tcpreplay" >&2; exit 2; }
tmp=$(mktemp -d)
chmod 755 "$tmp"
ns=hs-bench-$$ near=hbn$$ far=hbf$$
source tests/support/veth.sh
cleanup() { veth_remove "$ns" "$near"; rm -rf "$tmp"; }
trap cleanup EXIT
python3 tools/make_test_capture.py -o "$tmp/flood.pcap" --frames "$frames" --hosts 64 --size 60 --kind udp >/dev/null 2>&1
setcap cap_net_raw+ep "$helper"
veth_make "$ns" "$near" "$far"

printf 'round\tway\tsent\tin_model\treceived\tdropped\tsend_rate\n'
for round in $(seq "$rounds"); do
  for way in direct helper; do
    if [ $way = direct ]; then run=(env HOPSCOPE_CAPTURE=direct "$replay"); else run=(runuser -u nobody -- "$replay"); fi
    "${run[@]}" --live "$near" --duration 12 --dump --timing >"$tmp/dump" 2>"$tmp/err" &
    pid=$!
    for _ in $(seq 100); do grep -q "capturing on" "$tmp/err" 2>/dev/null && break; sleep 0.1; done
    ip netns exec "$ns" tcpreplay --topspeed -i "$far" "$tmp/flood.pcap" >"$tmp/sent" 2>&1
    wait $pid || true
    sent=$(sed -n 's/.*Successful packets: *\([0-9]*\).*/\1/p' "$tmp/sent" | head -1)
    rate=$(sed -n 's/.*Rated: .*, \([0-9.]*\) pps.*/\1/p' "$tmp/sent" | head -1)
    model=$(awk -F'\t' '$1 == "network" { print $4 }' "$tmp/dump")
    received=$(awk -F'\t' '$1 == "received" { print $2 }' "$tmp/err")
    dropped=$(awk -F'\t' '$1 == "dropped" { print $2 }' "$tmp/err")
    printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$round" "$way" "$sent" "$model" "$received" "$dropped" "$rate"
  done
done
