#!/usr/bin/env bash
# Installs what building and testing Kolvane needs on Debian 12, only what is missing.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  qt6-base-dev libqt6svg6 qt6-svg-dev
  libcli11-dev libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  desktop-file-utils appstream man-db parallel python3
  libisal-dev zlib1g-dev libzstd-dev liblzma-dev libbz2-dev gzip zstd xz-utils bzip2
  dpkg-dev file
)
if [ "${1:-}" = "--bench" ]; then
  packages+=(hyperfine mawk coreutils time miller python3 python3-clevercsv)
fi
if [ "${1:-}" = "--screenshot" ]; then
  packages+=(xvfb xdotool x11-apps imagemagick)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
