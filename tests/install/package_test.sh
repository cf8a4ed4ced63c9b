#!/usr/bin/env bash
# Builds the Debian package of this build (cpack -G DEB) into a temporary directory and
# checks it: installed under /usr with the files of layout.txt, dependencies that are
# the Debian runtime packages of its libraries (found by dpkg-shlibdeps), and an
# installation that apt accepts on this machine (simulated: nothing is installed).
#
#   package_test.sh BUILD-DIR
set -uo pipefail
build=$1
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }
for tool in cpack dpkg-deb dpkg-shlibdeps; do
    command -v "$tool" >/dev/null || { echo "SKIP: no $tool (tools/install-deps.sh installs it)"; exit 77; }
done
(cd "$tmp" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp" >"$tmp/cpack.log" 2>&1) ||
    { cat "$tmp/cpack.log"; echo "FAIL: cpack -G DEB"; exit 1; }
deb=$(ls "$tmp"/hopscope_*.deb 2>/dev/null | head -1)
[ -n "$deb" ] || { cat "$tmp/cpack.log"; echo "FAIL: no hopscope_*.deb"; exit 1; }

dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|^\./||' >"$tmp/contents"
while IFS= read -r line; do
    case $line in '#'* | '' | 'helper: '* | 'tree: '*) continue ;; esac
    grep -qxF "usr/$line" "$tmp/contents" || fail "the package lacks usr/$line"
done <"$here/layout.txt"
depends=$(dpkg-deb -f "$deb" Depends)
for needed in libc6 libpcap0.8 libqt6core6 libqt6gui6 libqt6widgets6; do
    echo "$depends" | grep -Eq "(^|, )$needed( |,|$)" || fail "Depends lacks $needed: $depends"
done
[ "$(dpkg-deb -f "$deb" Package)" = hopscope ] || fail "the package is not named hopscope"
if command -v apt-get >/dev/null; then
    apt-get install -s "$deb" >"$tmp/apt.log" 2>&1 || { cat "$tmp/apt.log"; fail "apt-get install -s refuses the package"; }
fi
[ $failed = 0 ] && echo "ok: $(basename "$deb"), Depends: $depends"
exit $failed
