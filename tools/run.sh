#!/usr/bin/env bash
# Installs what is missing, builds Hopscope and runs it on the bundled demo capture,
# printing the traffic model it builds.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C build -j "$(nproc)" hopscope-replay
capture=${1:-data/demo.pcap}
exec build/src/shell/hopscope-replay --dump --timing --protocols data/protocol.pdl \
  --manufacturers data/manf --ethers data/ethers "$capture"
