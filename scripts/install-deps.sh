#!/usr/bin/env bash
# Installs the Debian packages this project needs to build, run and test.
# Safe to run again: packages already present are left alone.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libgl-dev
  libqt6svg6 qt6-svg-dev qt6-qpa-plugins
  fonts-noto-cjk
  googletest libgtest-dev libbenchmark-dev
  # export formats: libzip for sigrok sessions; sigrok-cli and gtkwave (vcd2fst) judge the exports
  libzip-dev sigrok-cli gtkwave
  # the benchmarks take whole processes' peak memory from GNU time
  time
  # protocol decoding (src/decode): libsigrokdecode; sigrok-cli judges its annotations
  libsigrokdecode-dev
  # the installed files and the Debian package: their validators, shlibdeps and what it calls
  desktop-file-utils appstream dpkg-dev file
  # the fuzz targets: clang with libFuzzer and its sanitizer runtimes
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi

export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
