#!/usr/bin/env bash
# Installs the Debian packages Hopscope needs (as root). Does nothing when all of them
# are present already.
#
#   tools/install-deps.sh          what building, running and testing need (tools/test.sh)
#   tools/install-deps.sh --run    only what building and running need (tools/run.sh)
set -euo pipefail
run_packages=(
  g++ cmake ninja-build pkg-config
  libpcap-dev libcap-dev libcap2-bin qt6-base-dev qt6-multimedia-dev
  xvfb xauth fonts-liberation fonts-dejavu-core
)
test_packages=(
  make python3
  libgtest-dev libgmock-dev libbenchmark-dev
  tshark tcpdump tcpreplay iproute2 clang libclang-rt-14-dev
  imagemagick hershey-fonts-data ieee-data
  desktop-file-utils man-db dpkg-dev file
)
packages=("${run_packages[@]}")
case "${1:-}" in
  --run) ;;
  "") packages+=("${test_packages[@]}") ;;
  *) echo "usage: install-deps.sh [--run]" >&2; exit 2 ;;
esac
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" != 0 ]; then
    echo "install-deps: missing packages: ${missing[*]}; run this script as root to install them" >&2
    exit 1
  fi
  echo "install-deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
