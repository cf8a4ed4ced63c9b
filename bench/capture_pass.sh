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

# The commands, measured in turn within each round so that all of them see the same
# state of a shared machine; the best wall-clock time of each counts. Each one's stderr
# of its best run is kept in $tmp/best.N.err.
names=(plain tree tcpdump)
cmds_plain=("$replay" --no-protocols --no-names --timing "$capture")
cmds_tree=("$replay" --no-names --protocols "$protocols" --timing "$capture")
cmds_tcpdump=(tcpdump -r "$capture" -w /dev/null)
declare -A best
want_tree=0
pdl_line=""
if [ -n "$protocols" ]; then
    if [ ! -r "$protocols" ]; then
        pdl_line="with --protocols: skipped ($protocols cannot be read)"
    elif ! "${cmds_tree[@]}" >/dev/null 2>"$tmp/run.err"; then
        pdl_line="with --protocols: skipped (the replay tool refused it: $(head -n 1 "$tmp/run.err"))"
    else
        want_tree=1
    fi
fi
for _ in $(seq "$runs"); do
    for name in "${names[@]}"; do
        [ "$name" = tree ] && [ "$want_tree" = 0 ] && continue
        declare -n cmd="cmds_$name"
        t0=$(now)
        if ! "${cmd[@]}" >/dev/null 2>"$tmp/run.err"; then
            echo "capture_pass.sh: ${cmd[0]} failed:" >&2
            cat "$tmp/run.err" >&2
            exit 1
        fi
        t1=$(now)
        t=$(elapsed "$t0" "$t1")
        if [ -z "${best[$name]:-}" ] || awk -v a="$t" -v b="${best[$name]}" 'BEGIN { exit !(a < b) }'; then
            best[$name]=$t
            cp "$tmp/run.err" "$tmp/best.$name.err"
        fi
        unset -n cmd
    done
done

field() { awk -F'\t' -v k="$2" '$1 == k { print $2 }' "$tmp/best.$1.err"; }

hs_frames=$(field plain frames)
hs_wall=${best[plain]}
td_wall=${best[tcpdump]}
hs_fps=$(rate "$hs_frames" "$hs_wall")
td_fps=$(rate "$hs_frames" "$td_wall")
ratio() { awk -v a="$1" -v b="$td_fps" 'BEGIN { printf "%.2f", a / b }'; }

echo "capture: $hs_frames frames, $(stat -c %s "$capture") bytes; best of $runs runs each, taken in turn, wall clock"
printf 'hopscope-replay: %s s wall, %s frames/s (inner %s s, %s frames/s), %s x tcpdump\n' "$hs_wall" "$hs_fps" \
    "$(field plain seconds)" "$(field plain frames_per_second)" "$(ratio "$hs_fps")"
if [ "$want_tree" = 1 ]; then
    pdl_fps=$(rate "$hs_frames" "${best[tree]}")
    printf 'hopscope-replay --protocols %s: %s s wall, %s frames/s (inner %s s, %s frames/s), %s x tcpdump\n' \
        "$(basename "$protocols")" "${best[tree]}" "$pdl_fps" "$(field tree seconds)" "$(field tree frames_per_second)" \
        "$(ratio "$pdl_fps")"
elif [ -n "$pdl_line" ]; then
    echo "$pdl_line"
fi
printf 'tcpdump -r FILE -w /dev/null: %s s wall, %s frames/s\n' "$td_wall" "$td_fps"
