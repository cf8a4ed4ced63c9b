#!/usr/bin/env bash
# Builds Hopscope and starts it.
#
#   tools/run.sh [--demo | --live] [--build-only] [CAPTURE-FILE...]
#
# - Installs the Debian packages that building and running need when they are missing
#   (tools/install-deps.sh --run; the test command installs the test tools).
# - Builds the program and the replay tool with CMake and Ninja into build-run/.
# - Creates the settings key file when it is missing, as an installer would: the data
#   paths point at the shipped files in data/ (the local names at data/demo.ethers, the
#   names of the demo's stations), and the files the program rewrites at exit (alarm
#   file, custom focus file) at a copy in the user's data directory. A key whose data
#   paths no longer exist (a moved clone) is repaired, and it says so.
# - Starts the program on live capture when it can (root or a capture helper given
#   cap_net_raw, and an Ethernet adapter that is up), otherwise on the bundled demo
#   capture data/demo.pcap, so that traffic shows at
#   once, and says which it chose and why. --demo and --live choose; capture files named
#   on the command line are used as they are.
# - Without a display it runs under a virtual display (Xvfb) and says how to look at it.
#
# Environment: HOPSCOPE_SETTINGS names the settings key file (default
# ${XDG_CONFIG_HOME:-$HOME/.config}/hopscope/hopscope.reg).
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
data="$repo/data"
build="$repo/build-run"

usage() { sed -n '2,/^[^#]/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//'; }

mode=auto
build_only=0
files=()
for arg in "$@"; do
    case "$arg" in
        --demo) mode=demo ;;
        --live) mode=live ;;
        --build-only) build_only=1 ;;
        -h|--help) usage; exit 0 ;;
        -*) echo "run.sh: unknown option $arg (run.sh --help lists them)" >&2; exit 2 ;;
        *) [[ -e "$arg" ]] || { echo "run.sh: no capture file $arg" >&2; exit 2; }
           files+=("$(realpath "$arg")") ;;
    esac
done

# --- packages ---------------------------------------------------------------------
bash "$repo/tools/install-deps.sh" --run

# --- build ------------------------------------------------------------------------
cmake -S "$repo" -B "$build" -G Ninja -DHOPSCOPE_GUI=ON -DHOPSCOPE_TESTS=OFF -DHOPSCOPE_BENCH=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C "$build" -j"$(nproc)" hopscope hopscope-replay hopscope-capture
((build_only)) && exit 0

# --- settings key -----------------------------------------------------------------
config_home="${XDG_CONFIG_HOME:-$HOME/.config}"
[[ "$config_home" == /* ]] || config_home="$HOME/.config"
key="${HOPSCOPE_SETTINGS:-$config_home/hopscope/hopscope.reg}"
state="${XDG_DATA_HOME:-$HOME/.local/share}/hopscope"
# The files rewritten at exit live with the user, seeded from the shipped ones.
seed_state() {
    mkdir -p "$state"
    for f in alarm.adl cfdump.bin; do
        [[ -e "$state/$f" || ! -e "$data/$f" ]] || cp "$data/$f" "$state/$f"
    done
}
quote() { local s=${1//\\/\\\\}; printf '"%s"' "${s//\"/\\\"}"; }
if [[ ! -e "$key" ]]; then
    mkdir -p "$(dirname "$key")"
    seed_state
    {
        printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velmar Software\\Hopscope\\1.3]\n'
        printf '"ethers"=%s\n' "$(quote "$data/demo.ethers")"
        printf '"manufacturers"=%s\n' "$(quote "$data/manf")"
        printf '"protocols"=%s\n' "$(quote "$data/protocol.pdl")"
        printf '"alarms"=%s\n' "$(quote "$state/alarm.adl")"
        printf '"cfdump"=%s\n' "$(quote "$state/cfdump.bin")"
        printf '"dbpath"=%s\n' "$(quote "$data/")"
    } >"$key"
    echo "run.sh: created the settings key $key"
else
    # A data path that no longer exists (the clone was moved or removed) is pointed at
    # this clone's file of the same name; the files rewritten at exit at the user's copy.
    repaired=()
    for name in ethers manufacturers protocols alarms cfdump; do
        line=$(grep -m1 -i "^\"$name\"=\"" "$key" || true)
        [[ -n "$line" ]] || continue
        value=${line#*=\"}; value=${value%\"}; value=${value//\\\\/\\}
        path=${value//\\//}
        [[ -e "$path" || "$path" != /* ]] && continue
        case $name in
            alarms | cfdump) seed_state; new="$state/$(basename "$path")" ;;
            *) new="$data/$(basename "$path")" ;;
        esac
        [[ -e "$new" ]] || continue
        tmpkey=$(mktemp "$key.XXXXXX")
        awk -v name="\"$name\"" -v line="\"$name\"=$(quote "$new" | sed 's/\\/\\\\/g')" \
            'index(tolower($0), name "=") == 1 { print line; next } { print }' "$key" >"$tmpkey"
        mv "$tmpkey" "$key"
        repaired+=("\"$name\": $path -> $new")
    done
    if ((${#repaired[@]})); then
        echo "run.sh: repaired the settings key $key, whose data paths no longer existed:"
        printf '  %s\n' "${repaired[@]}"
    fi
fi
export HOPSCOPE_SETTINGS="$key"

# --- capture source ---------------------------------------------------------------
live_adapters=()
for dev in /sys/class/net/*; do
    [[ "$(cat "$dev/type" 2>/dev/null)" == 1 && "$(cat "$dev/operstate" 2>/dev/null)" == up ]] &&
        live_adapters+=("$(basename "$dev")")
done
if ((${#files[@]})); then
    echo "run.sh: replaying the capture files named: ${files[*]}"
else
    why=""
    case $mode in
        demo) why="--demo was given" ;;
        live) ;;
        auto)
            if [[ $(id -u) -ne 0 ]] && ! getcap "$build/src/model/capture/helper/hopscope-capture" 2>/dev/null | grep -q cap_net_raw; then
                why="live capture needs root or the capture rights here (see README.md: Capture rights)"
            elif ((${#live_adapters[@]} == 0)); then why="no Ethernet adapter is up"
            fi ;;
    esac
    if [[ -n "$why" ]]; then
        files=("$data/demo.pcap")
        echo "run.sh: replaying the demo capture $data/demo.pcap in a loop, because $why; --live captures instead"
    else
        echo "run.sh: capturing live (Ethernet adapters up: ${live_adapters[*]:-none}); the program opens the adapter"
        echo "        saved in its settings (Adapter in its menu switches); --demo replays the demo capture instead"
    fi
fi

# --- start ------------------------------------------------------------------------
program=("$build/src/app/hopscope" "${files[@]}")
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    n=99
    while [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]]; do n=$((n + 1)); done
    auth="$build/xvfb.auth"
    echo "run.sh: there is no display: running under the virtual display :$n (Xvfb). To look at it:"
    echo "        XAUTHORITY=$auth import -display :$n -window root shot.png"
    exec xvfb-run -n "$n" -f "$auth" -s "-screen 0 1600x1000x24" "${program[@]}"
fi
exec "${program[@]}"
