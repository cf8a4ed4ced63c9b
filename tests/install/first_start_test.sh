#!/usr/bin/env bash
# The installed program as a new user meets it: started from / with a fresh home on the
# demo capture (offscreen), it creates its settings key from the installed defaults and
# the user's copies of the alarm and focus files; SIGTERM, SIGINT and SIGHUP then end it
# as a quit does: the focus file and the settings are written (each through a new file
# renamed over the old, so a new inode), the focus file before the settings, and the
# alarm file, unchanged in the program, is left as it is.
#
#   first_start_test.sh BUILD-DIR
set -uo pipefail
build=$1
tmp=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$tmp"' EXIT
prefix=$tmp/prefix
failed=0
fail() { echo "FAIL: $*"; failed=1; }
cmake --install "$build" --prefix "$prefix" >/dev/null 2>&1 || { echo "FAIL: cmake --install"; exit 1; }

inode() { stat -c %i "$1" 2>/dev/null; }
changed() { stat -c %Z.%z "$1" 2>/dev/null; }

for sig in TERM INT HUP; do
    home=$tmp/home-$sig
    mkdir -p "$home"
    key=$home/.config/hopscope/hopscope.reg
    state=$home/.local/share/hopscope
    # A fresh environment, but for the sanitizers' options of a sanitizer build.
    (cd / && exec env -i PATH="$PATH" HOME="$home" QT_QPA_PLATFORM=offscreen \
        ${ASAN_OPTIONS:+ASAN_OPTIONS="$ASAN_OPTIONS"} ${LSAN_OPTIONS:+LSAN_OPTIONS="$LSAN_OPTIONS"} \
        ${TSAN_OPTIONS:+TSAN_OPTIONS="$TSAN_OPTIONS"} \
        "$prefix/bin/hopscope" "$prefix/share/hopscope/demo.pcap" >"$tmp/out-$sig" 2>&1) &
    pid=$!
    # The key is made after the signals are watched for; the files come with it.
    for _ in $(seq 100); do [ -s "$key" ] && [ -e "$state/cfdump.bin" ] && break; sleep 0.1; done
    if [ ! -s "$key" ]; then
        fail "SIG$sig: no settings key $key was created: $(cat "$tmp/out-$sig")"
        kill "$pid"; wait "$pid"; pid=; continue
    fi
    grep -qF "\"protocols\"=\"$prefix/share/hopscope/protocol.pdl\"" "$key" || fail "SIG$sig: the key does not name the installed protocol tree"
    grep -qF "\"cfdump\"=\"$state/cfdump.bin\"" "$key" || fail "SIG$sig: the key does not name the user's focus file"
    cmp -s "$state/alarm.adl" "$prefix/share/hopscope/alarm.adl" || fail "SIG$sig: no user copy of the alarm file"
    sleep 2  # let start-up reach the message loop (the signal would wait for it anyway)
    before_focus=$(inode "$state/cfdump.bin") before_key=$(inode "$key") before_alarms=$(inode "$state/alarm.adl")
    grep -q '"show broadcast"' "$key" && fail "SIG$sig: the key holds a value only the exit writes, before the exit"
    kill -s "$sig" "$pid"
    for _ in $(seq 150); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$pid" 2>/dev/null; then
        fail "SIG$sig: the program did not end within 15 s"
        kill -9 "$pid"
    fi
    wait "$pid"
    rc=$?
    pid=
    [ $rc = 0 ] || fail "SIG$sig: exit status $rc (a quit ends with 0): $(tail -5 "$tmp/out-$sig")"
    grep -q '"show broadcast"=dword:00000000' "$key" || fail "SIG$sig: the settings were not written"
    [ "$(inode "$key")" != "$before_key" ] || fail "SIG$sig: the settings key was not rewritten"
    [ "$(inode "$state/cfdump.bin")" != "$before_focus" ] || fail "SIG$sig: the focus file was not written"
    [ "$(inode "$state/alarm.adl")" = "$before_alarms" ] || fail "SIG$sig: the unchanged alarm file was rewritten"
    [[ "$(changed "$state/cfdump.bin")" < "$(changed "$key")" || "$(changed "$state/cfdump.bin")" == "$(changed "$key")" ]] ||
        fail "SIG$sig: the settings were written before the focus file"
done
[ $failed = 0 ] && echo "ok: first start from / and an orderly end on SIGTERM, SIGINT and SIGHUP"
exit $failed
