#!/usr/bin/env bash
# Installs the Debian packages Hopscope needs to build, run and test (as root).
# Does nothing when all of them are present already.
set -euo pipefail
packages=(
  g++ cmake ninja-build pkg-config make python3
  libpcap-dev qt6-base-dev qt6-multimedia-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  tshark tcpdump tcpreplay iproute2 clang libclang-rt-14-dev
  libcap-dev libcap2-bin
  xvfb xauth imagemagick fonts-liberation fonts-dejavu-core
  hershey-fonts-data ieee-data
)
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
