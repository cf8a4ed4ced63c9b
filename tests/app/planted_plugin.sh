#!/usr/bin/env bash
# A plugin planted in QT_PLUGIN_PATH never runs with a capability. The program and the
# replay tool (its --map) load it, and must hold no capability when they do; a copy of
# the replay tool given capabilities, as programs that captured themselves had to be,
# shows that the check would see them. The capture helper, the one file with a
# capability, never loads it. Run by nobody when started as root.
# usage: planted_plugin.sh IMAGE-PLUGIN GENERIC-PLUGIN HOPSCOPE REPLAY HELPER CAPTURE
set -u
image=$1 generic=$2 program=$3 replay=$4 helper=$5 capture=$6
skip() { echo "skipped: $*"; exit 77; }
fail() { echo "FAIL: $*"; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
chmod 755 "$tmp"
mkdir -p "$tmp/plugins/imageformats" "$tmp/plugins/generic" "$tmp/seen" "$tmp/work"
chmod 1777 "$tmp/seen" "$tmp/work"
cp "$image" "$tmp/plugins/imageformats/"
cp "$generic" "$tmp/plugins/generic/"
cp "$capture" "$tmp/capture.pcap"
chmod 644 "$tmp/capture.pcap"
as_user=()
[ "$(id -u)" = 0 ] && as_user=(runuser -u nobody --)
plant=(env QT_PLUGIN_PATH="$tmp/plugins" QT_QPA_GENERIC_PLUGINS=hsplanted HS_PLANTED_OUT="$tmp/seen"
       QT_QPA_PLATFORM=offscreen HOPSCOPE_SETTINGS="$tmp/none.reg")

# Runs a command with the plant; prints the capability lines of every process that loaded it.
loaded_by() {
  rm -f "$tmp/seen/"*
  (cd "$tmp" && timeout 60 "${as_user[@]}" "${plant[@]}" "$@" >"$tmp/out" 2>&1)
  cat "$tmp/seen/"* 2>/dev/null
}

for binary in "$program" "$replay"; do
  caps=$(getcap "$binary" 2>/dev/null)
  [ -z "$caps" ] || fail "$binary carries a capability: $caps"
done

seen=$(loaded_by "$replay" --map "$tmp/work/map.png" "$tmp/capture.pcap")
[ -n "$seen" ] || { cat "$tmp/out"; skip "the replay tool did not load the planted plugin (this Qt looks elsewhere)"; }
echo "$seen" | grep -v -q '0000000000000000$' && fail "the plugin ran with a capability in the replay tool: $seen"

seen=$(loaded_by "$program" "$tmp/capture.pcap")
[ -n "$seen" ] || { cat "$tmp/out"; fail "the program did not load the planted generic plugin"; }
echo "$seen" | grep -v -q '0000000000000000$' && fail "the plugin ran with a capability in the program: $seen"

# The helper reads no plugin path: with the plant in its environment it loads nothing.
seen=$(loaded_by "$helper" --self-check)
[ -z "$seen" ] || fail "the capture helper loaded the planted plugin: $seen"

# The check can see a capability: a copy of the replay tool that carries some.
if [ "$(id -u)" = 0 ] && command -v setcap >/dev/null; then
  cp "$replay" "$tmp/replay-with-caps"
  if setcap cap_net_raw,cap_net_admin+ep "$tmp/replay-with-caps" 2>/dev/null; then
    seen=$(loaded_by "$tmp/replay-with-caps" --map "$tmp/work/map.png" "$tmp/capture.pcap")
    echo "$seen" | grep -q '^CapEff:.*0000000000003000$' ||
      fail "a copy with cap_net_raw and cap_net_admin did not show them to the plugin: $seen"
  fi
fi
echo "planted plugin: loaded by the program and the replay tool without any capability; never by the helper"
