#!/usr/bin/env bash
# The capture helper (hopscope-capture): what it holds after its start, that it refuses
# to run set-user-ID, and live capture through it by a user without any capability,
# over a veth pair whose far end sits in a network namespace of our own; then the
# adapter is deleted under the capture, which must end with a message and status 1.
# usage: capture_helper.sh HELPER REPLAY     (exit 77: skipped)
set -u
helper=$1
replay=$2
skip() { echo "skipped: $*"; exit 77; }
fail() { echo "FAIL: $*"; exit 1; }

# Whatever the environment holds, the helper starts with none of it, keeps nothing but
# cap_net_raw, and can gain nothing more.
out=$(env -i FOO=1 QT_PLUGIN_PATH=/tmp/planted LD_LIBRARY_PATH=/tmp/planted "$helper" --self-check) || fail "self-check: $out"
echo "$out" | grep -qx $'environment\t0' || fail "the environment was not cleared: $out"
echo "$out" | grep -qx $'no_new_privs\t1' || fail "no_new_privs not set: $out"
if [ "$(id -u)" = 0 ]; then
  echo "$out" | grep -qx $'capabilities\tcap_net_raw=ep' || fail "root's capabilities not cut to cap_net_raw: $out"
else
  echo "$out" | grep -qx $'capabilities\t=' || fail "capabilities of an ordinary user: $out"
fi

[ "$(id -u)" = 0 ] || skip "the rest needs root (file capabilities, set-user-ID, network namespaces)"
command -v setcap >/dev/null || skip "setcap (libcap2-bin) is not installed"
command -v runuser >/dev/null || skip "runuser is not installed"
tmp=$(mktemp -d)
chmod 755 "$tmp"
ns=hs-help-$$
near=hhn$$
far=hhf$$
source "$(dirname "$0")/../support/veth.sh"
cleanup() { veth_remove "$ns" "$near"; rm -rf "$tmp"; }
trap cleanup EXIT

# A copy given more than it needs keeps only cap_net_raw once started.
cp "$helper" "$tmp/given-more"
setcap cap_net_raw,cap_net_admin,cap_sys_admin+ep "$tmp/given-more" 2>/dev/null || skip "no file capabilities here"
out=$(runuser -u nobody -- "$tmp/given-more" --self-check) || fail "self-check as nobody: $out"
echo "$out" | grep -qx $'capabilities\tcap_net_raw=ep' || fail "a copy with more capabilities kept them: $out"

# Set-user-ID (here to nobody, run by root): refused before anything else.
cp "$helper" "$tmp/setuid"
chown nobody "$tmp/setuid"
chmod 4755 "$tmp/setuid"
if "$tmp/setuid" --self-check >"$tmp/out" 2>&1; then fail "a set-user-ID copy ran: $(cat "$tmp/out")"; fi
grep -q "refusing to run set-user-ID" "$tmp/out" || fail "no word on the set-user-ID refusal: $(cat "$tmp/out")"

# The helper at its fixed place gets cap_net_raw, as an install gives it; the replay
# tool, run by nobody, holds no capability and captures through it.
command -v ip >/dev/null || skip "iproute2 (ip) is not installed"
setcap cap_net_raw+ep "$helper" || fail "cannot give the helper cap_net_raw"
why=$(veth_make "$ns" "$near" "$far") || skip "$why"

runuser -u nobody -- "$replay" --live "$near" --duration 30 --dump --timing >"$tmp/dump" 2>"$tmp/err" &
pid=$!
for _ in $(seq 50); do grep -q "capturing on" "$tmp/err" 2>/dev/null && break; sleep 0.1; done
grep -q "capturing on" "$tmp/err" || { cat "$tmp/err"; kill $pid; fail "the replay tool did not start capturing as nobody"; }
tool=$(pgrep -n -f -- "--live $near")
grep -q '^CapEff:[[:space:]]*0000000000000000$' "/proc/$tool/status" || fail "the replay tool holds a capability"

ip netns exec "$ns" python3 - "$far" <<'PY'
import socket, sys, time
s = socket.socket(socket.AF_PACKET, socket.SOCK_RAW)
s.bind((sys.argv[1], 0))
a, b = bytes.fromhex("020000000001"), bytes.fromhex("020000000002")
for _ in range(40):
    s.send(b + a + b"\x88\xb5" + bytes(86))
    time.sleep(0.005)
PY
sleep 1
# The adapter goes away under the capture: the tool says so and ends with status 1,
# after printing what it had.
ip link del "$near"
for _ in $(seq 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
if kill -0 $pid 2>/dev/null; then kill $pid; fail "the capture went on after its adapter was deleted"; fi
wait $pid
rc=$?
[ $rc = 1 ] || { cat "$tmp/err"; fail "exit status $rc after the adapter went away, wanted 1"; }
grep -q "capture on $near stopped" "$tmp/err" || { cat "$tmp/err"; fail "no word that the capture stopped"; }
tab=$'\t'
grep -qxF "link${tab}02:00:00:00:00:01${tab}02:00:00:00:00:02${tab}40${tab}4000" "$tmp/dump" ||
  { cat "$tmp/dump" "$tmp/err"; fail "the 40 frames sent are not in the model"; }
grep -q "^dropped${tab}0$" "$tmp/err" || { cat "$tmp/err"; fail "--timing does not say 0 frames dropped"; }
echo "capture helper: environment and capabilities as they should be; live capture as nobody; the end of the adapter reported"
