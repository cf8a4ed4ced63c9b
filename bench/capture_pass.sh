#!/usr/bin/env bash
# Frames per second of the whole capture pass (hopscope-replay: file reading, 255-frame
# dispatches, the per-frame model update, a refresh after each dispatch), beside
# `tcpdump -r FILE -w /dev/null` reading and writing the same file in the same run.
#
# The capture (1 000 000 frames by default) is made by tools/make_test_capture.py in
# a temporary directory that is removed afterwards.  Nothing is built here: pass the
# replay tool's path if it is not build/src/replay/hopscope-replay.
#
# usage: bench/capture_pass.sh [--replay PATH] [--protocols FILE] [--frames N]
#                              [--hosts N] [--size SPEC] [--kind udp|mix] [--runs N]
#                              [--capture FILE]
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
replay="$here/build/src/replay/hopscope-replay"
protocols=""
frames=1000000
hosts=64
size=imix
kind=mix
runs=3
capture=""

usage() { sed -n '2,12p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'; }

while [ $# -gt 0 ]; do
    case "$1" in
        --replay) replay=$2; shift 2 ;;
        --protocols) protocols=$2; shift 2 ;;
        --frames) frames=$2; shift 2 ;;
        --hosts) hosts=$2; shift 2 ;;
        --size) size=$2; shift 2 ;;
        --kind) kind=$2; shift 2 ;;
        --runs) runs=$2; shift 2 ;;
        --capture) capture=$2; shift 2 ;;
        -h|--help) usage; exit 0 ;;
        *) echo "capture_pass.sh: unknown option $1" >&2; usage >&2; exit 2 ;;
    esac
done

if [ ! -x "$replay" ]; then
    echo "capture_pass.sh: no replay tool at $replay (build it, or pass --replay PATH)" >&2
    exit 1
fi
command -v tcpdump >/dev/null || { echo "capture_pass.sh: tcpdump is not installed" >&2; exit 1; }

tmp=$(mktemp -d "${TMPDIR:-/tmp}/hopscope-bench.XXXXXX")
trap 'rm -rf "$tmp"' EXIT

if [ -z "$capture" ]; then
    capture="$tmp/bench.pcap"
    echo "making $frames frames over $hosts hosts ($kind, sizes $size) in $capture" >&2
    python3 "$here/tools/make_test_capture.py" -o "$capture" --frames "$frames" --hosts "$hosts" \
        --pairs random --size "$size" --kind "$kind" >/dev/null 2>&1
fi
[ -r "$capture" ] || { echo "capture_pass.sh: cannot read $capture" >&2; exit 1; }
# Read the file once so that every timed run starts from the page cache.
cat "$capture" >/dev/null

now() { echo "$EPOCHREALTIME"; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.6f", b - a }'; }
rate() { awk -v n="$1" -v s="$2" 'BEGIN { if (s > 0) printf "%.0f", n / s; else print "inf" }'; }

# Best wall-clock time of $runs runs of a command; its stderr of the best run goes to $tmp/best.err.
best_of() {
    local best="" t0 t1 t
    for _ in $(seq "$runs"); do
        t0=$(now)
        if ! "$@" >/dev/null 2>"$tmp/run.err"; then
            return 1
        fi
        t1=$(now)
        t=$(elapsed "$t0" "$t1")
        if [ -z "$best" ] || awk -v a="$t" -v b="$best" 'BEGIN { exit !(a < b) }'; then
            best=$t
            cp "$tmp/run.err" "$tmp/best.err"
        fi
    done
    echo "$best"
}

field() { awk -F'\t' -v k="$1" '$1 == k { print $2 }' "$tmp/best.err"; }

# hopscope-replay, no classification
hs_wall=$(best_of "$replay" --no-protocols --no-names --timing "$capture") || { echo "capture_pass.sh: hopscope-replay failed:" >&2; cat "$tmp/run.err" >&2; exit 1; }
hs_frames=$(field frames)
hs_inner=$(field seconds)
hs_inner_fps=$(field frames_per_second)

# hopscope-replay with the protocol tree, when asked for and when the tool can load it
pdl_line=""
if [ -n "$protocols" ]; then
    if [ ! -r "$protocols" ]; then
        pdl_line="with --protocols: skipped ($protocols cannot be read)"
    elif pdl_wall=$(best_of "$replay" --no-names --protocols "$protocols" --timing "$capture"); then
        pdl_fps=$(rate "$hs_frames" "$pdl_wall")
        pdl_line=$(printf 'hopscope-replay --protocols %s: %s s wall, %s frames/s (inner %s s, %s frames/s)' \
            "$(basename "$protocols")" "$pdl_wall" "$pdl_fps" "$(field seconds)" "$(field frames_per_second)")
    else
        pdl_line="with --protocols: skipped (the replay tool refused it: $(head -n 1 "$tmp/run.err"))"
    fi
fi

# tcpdump reading and writing the same file
td_wall=$(best_of tcpdump -r "$capture" -w /dev/null) || { echo "capture_pass.sh: tcpdump failed:" >&2; cat "$tmp/run.err" >&2; exit 1; }

hs_fps=$(rate "$hs_frames" "$hs_wall")
td_fps=$(rate "$hs_frames" "$td_wall")
ratio=$(awk -v a="$hs_fps" -v b="$td_fps" 'BEGIN { printf "%.2f", a / b }')

echo "capture: $hs_frames frames, $(stat -c %s "$capture") bytes; best of $runs runs, wall clock"
printf 'hopscope-replay: %s s wall, %s frames/s (inner %s s, %s frames/s)\n' "$hs_wall" "$hs_fps" "$hs_inner" "$hs_inner_fps"
[ -n "$pdl_line" ] && echo "$pdl_line"
printf 'tcpdump -r FILE -w /dev/null: %s s wall, %s frames/s\n' "$td_wall" "$td_fps"
echo "ratio hopscope/tcpdump (frames per second): $ratio"
