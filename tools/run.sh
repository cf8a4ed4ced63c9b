#!/usr/bin/env bash
# Builds Hopscope and starts it.
#
#   tools/run.sh [--demo | --live] [--build-only] [CAPTURE-FILE...]
#
# - Installs the Debian packages the build and the program need when they are missing
#   (tools/install-deps.sh).
# - Builds with CMake and Ninja into build-run/.
# - Creates the settings key file when it is missing, as an installer would: the data
#   paths point at the shipped files in data/, and the files the program rewrites at exit
#   (alarm file, custom focus file) at a copy in the user's data directory.
# - Starts the program on live capture when it can (root or a capture helper given
#   cap_net_raw, and an Ethernet adapter that is up), otherwise on the bundled demo
#   capture data/demo.pcap, so that traffic shows at once. --demo and --live choose;
#   capture files named on the command line are used as they are.
# - Without a display it runs under Xvfb (xvfb-run).
#
# Environment: HOPSCOPE_SETTINGS names the settings key file (default
# ${XDG_CONFIG_HOME:-$HOME/.config}/hopscope/hopscope.reg).
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
data="$repo/data"
build="$repo/build-run"

mode=auto
build_only=0
files=()
for arg in "$@"; do
    case "$arg" in
        --demo) mode=demo ;;
        --live) mode=live ;;
        --build-only) build_only=1 ;;
        -h|--help) sed -n '2,20p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        -*) echo "run.sh: unknown option $arg" >&2; exit 2 ;;
        *) files+=("$(realpath "$arg")") ;;
    esac
done

# --- packages ---------------------------------------------------------------------
bash "$repo/tools/install-deps.sh"

# --- build ------------------------------------------------------------------------
cmake -S "$repo" -B "$build" -G Ninja -DHOPSCOPE_GUI=ON -DHOPSCOPE_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C "$build" -j"$(nproc)" hopscope hopscope-capture
((build_only)) && exit 0

# --- settings key -----------------------------------------------------------------
config_home="${XDG_CONFIG_HOME:-$HOME/.config}"
[[ "$config_home" == /* ]] || config_home="$HOME/.config"
key="${HOPSCOPE_SETTINGS:-$config_home/hopscope/hopscope.reg}"
if [[ ! -e "$key" ]]; then
    state="${XDG_DATA_HOME:-$HOME/.local/share}/hopscope"
    mkdir -p "$(dirname "$key")" "$state"
    # The files rewritten at exit live with the user, seeded from the shipped ones.
    for f in alarm.adl cfdump.bin; do
        [[ -e "$state/$f" || ! -e "$data/$f" ]] || cp "$data/$f" "$state/$f"
    done
    quote() { local s=${1//\\/\\\\}; printf '"%s"' "${s//\"/\\\"}"; }
    {
        printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velmar Software\\Hopscope\\1.3]\n'
        printf '"ethers"=%s\n' "$(quote "$data/ethers")"
        printf '"manufacturers"=%s\n' "$(quote "$data/manf")"
        printf '"protocols"=%s\n' "$(quote "$data/protocol.pdl")"
        printf '"alarms"=%s\n' "$(quote "$state/alarm.adl")"
        printf '"cfdump"=%s\n' "$(quote "$state/cfdump.bin")"
        printf '"dbpath"=%s\n' "$(quote "$data/")"
    } >"$key"
    echo "run.sh: created the settings key $key"
fi
export HOPSCOPE_SETTINGS="$key"

# --- capture source ---------------------------------------------------------------
can_capture_live() {
    # Root, or a capture helper that was given cap_net_raw (README: Live capture).
    [[ $(id -u) -eq 0 ]] || getcap "$build/src/model/capture/helper/hopscope-capture" 2>/dev/null |
        grep -q cap_net_raw || return 1
    local dev
    for dev in /sys/class/net/*; do
        [[ "$(cat "$dev/type" 2>/dev/null)" == 1 && "$(cat "$dev/operstate" 2>/dev/null)" == up ]] && return 0
    done
    return 1
}
if ((${#files[@]} == 0)); then
    use_demo=0
    case $mode in
        demo) use_demo=1 ;;
        auto) can_capture_live || use_demo=1 ;;
    esac
    if ((use_demo)); then
        if [[ -e "$data/demo.pcap" ]]; then
            files=("$data/demo.pcap")
            echo "run.sh: replaying the demo capture $data/demo.pcap"
        else
            echo "run.sh: no data/demo.pcap yet; starting without a capture file" >&2
        fi
    fi
fi

# --- start ------------------------------------------------------------------------
# The stroke font is read from the working directory.
cd "$data" 2>/dev/null || cd "$repo"
program=("$build/src/app/hopscope" "${files[@]}")
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    exec xvfb-run -a -s "-screen 0 1600x1000x24" "${program[@]}"
fi
exec "${program[@]}"
