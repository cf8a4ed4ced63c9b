#!/usr/bin/env bash
# Installs this build into a temporary prefix and checks what a user of the installed
# programs meets: the layout (layout.txt), the desktop entry (desktop-file-validate
# clean), the manual pages (man --warnings clean, every option of --help documented),
# --help and --version without a display, the replay tool's defaults from / (its map
# without options is the map with the shipped files named), --filter on the demo's ARP
# frames and a bad filter, and no capability on a binary that loads Qt.
#
#   install_test.sh BUILD-DIR SOURCE-DIR
set -uo pipefail
build=$1 src=$2
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix
failed=0
fail() { echo "FAIL: $*"; failed=1; }

cmake --install "$build" --prefix "$prefix" >"$tmp/install.log" 2>&1 || { cat "$tmp/install.log"; echo "FAIL: cmake --install"; exit 1; }

# --- layout -----------------------------------------------------------------------
helper_built=0
grep -q '^# hopscope-capture built$' "$build/install_manifest.txt" 2>/dev/null
[ -e "$prefix/libexec/hopscope/hopscope-capture" ] && helper_built=1
while IFS= read -r line; do
    case $line in '#'* | '') continue ;; esac
    if [ "${line#tree: }" != "$line" ]; then
        [ -d "$prefix/${line#tree: }" ] || fail "missing the directory ${line#tree: }"
        continue
    fi
    if [ "${line#helper: }" != "$line" ]; then
        ((helper_built)) || continue
        line=${line#helper: }
    fi
    [ -f "$prefix/$line" ] || fail "missing $line"
done <"$here/layout.txt"
extra=$(cd "$prefix" && find . -type f | sed 's|^\./||' | while read -r f; do
    grep -qxF "$f" "$here/layout.txt" || grep -qxF "helper: $f" "$here/layout.txt" ||
        grep '^tree: ' "$here/layout.txt" | cut -c7- | while read -r d; do [ "${f#"$d"/}" != "$f" ] && echo in; done | grep -q in ||
        echo "$f"; done)
[ -z "$extra" ] || fail "installed but not in layout.txt: $extra"
for program in bin/hopscope bin/hopscope-replay; do
    [ -x "$prefix/$program" ] || fail "$program is not executable"
done

# --- desktop entry and manual pages -------------------------------------------------
out=$(desktop-file-validate "$prefix/share/applications/hopscope.desktop" 2>&1) || fail "desktop-file-validate failed"
[ -z "$out" ] || fail "desktop-file-validate: $out"
grep -q '^Icon=hopscope$' "$prefix/share/applications/hopscope.desktop" || fail "the desktop entry names no icon"
for page in hopscope hopscope-replay; do
    out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$prefix/share/man/man1/$page.1" 2>&1 >"$tmp/$page.txt") ||
        fail "man $page failed"
    [ -z "$out" ] || fail "man --warnings $page: $out"
    grep -q "^NAME" "$tmp/$page.txt" || fail "man $page has no NAME section"
done
# The check itself sees a faulty page.
printf '.TH BAD 1\n.SH NAME\nbad \\- page\n.BOGUS\n' >"$tmp/bad.1"
[ -n "$(LC_ALL=C.UTF-8 man --warnings -E UTF-8 -l "$tmp/bad.1" 2>&1 >/dev/null)" ] || fail "man --warnings reports nothing on a faulty page"

# --- --help and --version, no display, from / ------------------------------------------
for program in hopscope hopscope-replay; do
    (cd / && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/$program" --help >"$tmp/$program.help" 2>"$tmp/$program.err")
    rc=$?
    [ $rc = 0 ] || fail "$program --help exited with $rc: $(cat "$tmp/$program.err")"
    head -1 "$tmp/$program.help" | grep -q "^usage: $program " || fail "$program --help does not start with its usage"
    [ -s "$tmp/$program.err" ] && fail "$program --help wrote on standard error: $(cat "$tmp/$program.err")"
    version=$(cd / && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/$program" --version 2>&1)
    rc=$?
    [ $rc = 0 ] || fail "$program --version exited with $rc"
    echo "$version" | grep -Eqx "$program [0-9]+\.[0-9]+.*" || fail "$program --version printed '$version'"
    # Every option the program lists is in its manual page.
    for option in $(grep -Eo '(^|[ ,])--[a-z][a-z-]*' "$tmp/$program.help" | tr -d ' ,' | sort -u); do
        grep -q -- "$(echo "$option" | sed 's/-/\\\\-/g')" "$prefix/share/man/man1/$program.1" ||
            fail "$program.1 does not document $option"
    done
done

# A wrong command line is said on standard error, status 2, before any display is needed.
for args in "--bogus" "--filter" "-x file.pcap"; do
    # shellcheck disable=SC2086  # the words are the arguments
    (cd / && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/hopscope" $args >"$tmp/out" 2>"$tmp/err")
    rc=$?
    [ $rc = 2 ] || fail "hopscope $args exited with $rc, not 2"
    grep -q '^hopscope: ' "$tmp/err" || fail "hopscope $args said nothing on standard error"
done

# --- the replay tool's defaults, from / --------------------------------------------------
replay=$prefix/bin/hopscope-replay
share=$prefix/share/hopscope
(cd / && env -u HOPSCOPE_DATA "$replay" --map "$tmp/default.png" "$share/demo.pcap") || fail "--map without options failed"
(cd / && env -u HOPSCOPE_DATA "$replay" --protocols "$share/protocol.pdl" --manufacturers "$share/manf" \
    --cfdump "$share/cfdump.bin" --font "$share/font.bin" --map "$tmp/explicit.png" "$share/demo.pcap") ||
    fail "--map with the shipped files named failed"
cmp -s "$tmp/default.png" "$tmp/explicit.png" || fail "the map without options differs from the map with the shipped files"
(cd / && "$replay" --no-protocols --map "$tmp/plain.png" "$share/demo.pcap") || fail "--no-protocols --map failed"
cmp -s "$tmp/default.png" "$tmp/plain.png" && fail "the default map is the one without the protocol tree: no default was read"
(cd / && env -u HOPSCOPE_DATA "$replay" --dump "$share/demo.pcap" >"$tmp/default.dump") || fail "--dump failed"
(cd / && "$replay" --dump --protocols "$share/protocol.pdl" --manufacturers "$share/manf" "$share/demo.pcap" >"$tmp/explicit.dump")
cmp -s "$tmp/default.dump" "$tmp/explicit.dump" || fail "the dump without options differs from the dump with the shipped files"
grep -q $'^tally\t.*/IP\t' "$tmp/default.dump" || fail "the default dump classifies nothing"

# --- --filter ------------------------------------------------------------------------------
read -r arp_frames arp_bytes < <(python3 "$here/count_frames.py" "$share/demo.pcap" 0x0806)
[ "${arp_frames:-0}" -gt 0 ] || fail "no ARP frames counted in the demo capture"
network=$(cd / && "$replay" --dump --filter arp "$share/demo.pcap" | grep $'^network\t')
got_frames=$(echo "$network" | cut -f4) got_bytes=$(echo "$network" | cut -f5)
[ "$got_frames $got_bytes" = "$arp_frames $arp_bytes" ] ||
    fail "--filter arp gives $got_frames frames, $got_bytes bytes; the capture's ARP frames are $arp_frames, $arp_bytes"
(cd / && "$replay" --dump --filter "arp and not" "$share/demo.pcap" >/dev/null 2>"$tmp/bad.err")
rc=$?
[ $rc = 2 ] || fail "a bad filter exited with $rc, not 2"
grep -q 'capture filter "arp and not": ' "$tmp/bad.err" || fail "a bad filter's message: $(cat "$tmp/bad.err")"

# --- capabilities --------------------------------------------------------------------------
caps=$(getcap -r "$prefix" 2>/dev/null)
for program in bin/hopscope bin/hopscope-replay; do
    echo "$caps" | grep -q "^$prefix/$program " && fail "$program holds a capability: $caps"
done

[ $failed = 0 ] && echo "ok: installed into a temporary prefix and checked"
exit $failed
