#!/usr/bin/env bash
# Live capture through the adapter path: a veth pair whose far end sits in a network
# namespace of our own; raw Ethernet frames (no IP at all) are sent from the namespace,
# and hopscope-replay --live must find each of them in the model.
# usage: live_capture.sh REPLAY-BINARY     (exit 77: skipped)
set -u
replay=$1
skip() { echo "skipped: $*"; exit 77; }

[ "$(id -u)" = 0 ] || skip "live capture needs root to make a network namespace"
command -v ip >/dev/null || skip "iproute2 (ip) is not installed"
ns=hs-live-$$
near=hsn$$
far=hsf$$
source "$(dirname "$0")/../support/veth.sh"
cleanup() { veth_remove "$ns" "$near"; rm -rf "$tmp"; }
tmp=$(mktemp -d)
trap cleanup EXIT
why=$(veth_make "$ns" "$near" "$far") || skip "$why"

"$replay" --live "$near" --duration 6 --dump >"$tmp/dump" 2>"$tmp/err" &
pid=$!
for _ in $(seq 50); do grep -q "capturing on" "$tmp/err" 2>/dev/null && break; sleep 0.1; done
grep -q "capturing on" "$tmp/err" || { cat "$tmp/err"; wait $pid; echo "FAIL: the replay tool did not start capturing"; exit 1; }

# 40 frames 02:00:00:00:00:01 -> 02:00:00:00:00:02 of 100 bytes, 10 back of 200 bytes,
# 5 broadcasts of 60 bytes, sent on a raw socket from inside the namespace.
ip netns exec "$ns" python3 - "$far" <<'PY'
import socket, sys, time
s = socket.socket(socket.AF_PACKET, socket.SOCK_RAW)
s.bind((sys.argv[1], 0))
a, b, bc = bytes.fromhex("020000000001"), bytes.fromhex("020000000002"), b"\xff" * 6
def frame(dst, src, size):
    return dst + src + b"\x88\xb5" + bytes(size - 14)   # local experimental EtherType
for _ in range(40):
    s.send(frame(b, a, 100))
for _ in range(10):
    s.send(frame(a, b, 200))
for _ in range(5):
    s.send(frame(bc, a, 60))
    time.sleep(0.01)
PY
wait $pid
rc=$?
[ $rc = 0 ] || { cat "$tmp/err"; echo "FAIL: hopscope-replay exited with $rc"; exit 1; }

expect() {
  grep -qxF "$1" "$tmp/dump" || { echo "FAIL: missing record: $1"; echo "--- dump:"; cat "$tmp/dump"; exit 1; }
}
tab=$'\t'
expect "host${tab}02:00:00:00:00:01${tab}45${tab}4300${tab}${tab}"
expect "host${tab}02:00:00:00:00:02${tab}10${tab}2000${tab}${tab}"
expect "link${tab}02:00:00:00:00:01${tab}02:00:00:00:00:02${tab}40${tab}4000"
expect "link${tab}02:00:00:00:00:02${tab}02:00:00:00:00:01${tab}10${tab}2000"
expect "link${tab}02:00:00:00:00:01${tab}FF:FF:FF:FF:FF:FF${tab}5${tab}300"
echo "live capture: all 55 frames found in the model"
