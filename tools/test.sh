#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the unit and widget
# tests, the comparisons with tshark, the live capture test, the fuzz corpora, and the
# threaded tests again under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
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
(cd build-tsan && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" ctest --output-on-failure -j "$jobs" -E 'tshark|live_capture|fuzz_replay')
