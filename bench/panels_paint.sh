#!/usr/bin/env bash
# What repainting the side panels costs the window thread at a given frame rate: the
# program's main window, offscreen, on a synthetic capture replayed at its recorded
# pace (bench/panels_paint.cpp does the timing).
#   bench/panels_paint.sh [--rate FPS] [--seconds N] [--bench PATH]
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
rate=20000 seconds=20 bench="$repo/build/bench/panels_paint"
while (($#)); do
    case $1 in
        --rate) rate=$2; shift 2 ;;
        --seconds) seconds=$2; shift 2 ;;
        --bench) bench=$2; shift 2 ;;
        *) echo "panels_paint.sh: unknown option $1" >&2; exit 2 ;;
    esac
done
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# One capture pass of the file is longer than the run, so the whole run is at the rate.
frames=$((rate * (seconds + 5)))
python3 "$repo/tools/make_test_capture.py" -o "$tmp/fast.pcap" --frames "$frames" --hosts 64 --pairs random \
    --size 60:200 --kind mix --rate "$rate" >/dev/null
cp "$repo/data/cfdump.bin" "$tmp/cfdump.bin"
{
    printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velmar Software\\Hopscope\\1.3]\n'
    printf '"ethers"="%s"\n"manufacturers"="%s"\n"protocols"="%s"\n' "$repo/data/ethers" "$repo/data/manf" "$repo/data/protocol.pdl"
    printf '"alarms"="%s"\n"cfdump"="%s"\n' "$tmp/alarm.adl" "$tmp/cfdump.bin"
} >"$tmp/key.reg"
cd "$repo/data"  # the stroke font
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} ${BENCH_WRAP:-} "$bench" "$tmp/fast.pcap" "$seconds" "$tmp/key.reg"
