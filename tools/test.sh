#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the unit and widget
# tests, the comparisons with tshark, the live capture tests, the fuzz corpora; the
# threaded tests again under ThreadSanitizer; and the whole suite again under
# AddressSanitizer and UndefinedBehaviorSanitizer (clang).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash tools/install-deps.sh
jobs=$(nproc)
export TZ=UTC LC_ALL=C QT_QPA_PLATFORM=offscreen

echo "== build (build/)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C build -j "$jobs"
echo "== tests"
(cd build && ctest --output-on-failure -j "$jobs")

echo "== ThreadSanitizer build (build-tsan/)"
cmake -S . -B build-tsan -G Ninja -DHOPSCOPE_TSAN=ON -DHOPSCOPE_GUI=OFF -DHOPSCOPE_BENCH=OFF >/dev/null
ninja -C build-tsan -j "$jobs"
echo "== tests under ThreadSanitizer"
(cd build-tsan && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" ctest --output-on-failure -j "$jobs" -E 'tshark|live_capture|capture_helper|fuzz_replay')

echo "== AddressSanitizer and UndefinedBehaviorSanitizer build (build-asan/, clang)"
CC=clang CXX=clang++ cmake -S . -B build-asan -G Ninja -DHOPSCOPE_ASAN=ON -DHOPSCOPE_BENCH=OFF >/dev/null
ninja -C build-asan -j "$jobs"
echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer"
# Records that are never freed by design are listed in tests/support/lsan.supp; any
# other leak, memory error or undefined behaviour fails its test. The tests that need
# capabilities of a real install (live capture, the helper, planted plugins) and the
# comparisons with tshark run in build/ only.
(cd build-asan && ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1" \
   LSAN_OPTIONS="suppressions=$root/tests/support/lsan.supp:print_suppressions=0" \
   UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
   ctest --output-on-failure -j "$jobs" -E 'tshark|live_capture|capture_helper|planted_plugin')
