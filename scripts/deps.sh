#!/usr/bin/env bash
# Installs what Kolvane needs on Debian 12, only what is missing:
#   deps.sh               building and running the window and kolvane-rip
#   deps.sh --test        and building and running every test (what CI runs)
#   deps.sh --bench       and the benchmarks with the tools they compare against
#   deps.sh --screenshot  and a virtual X server to look at the window
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  qt6-base-dev libqt6svg6 qt6-svg-dev libcli11-dev
  libisal-dev zlib1g-dev libzstd-dev liblzma-dev libbz2-dev
)
if [ -n "${1:-}" ]; then
  packages+=(
    libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
    desktop-file-utils appstream man-db parallel python3
    gzip zstd xz-utils bzip2 dpkg-dev file
  )
fi
case "${1:-}" in
  "" | --test) ;;
  --bench) packages+=(hyperfine mawk coreutils time miller python3-clevercsv) ;;
  --screenshot) packages+=(xvfb xdotool x11-apps imagemagick) ;;
  *)
    echo "usage: deps.sh [--test|--bench|--screenshot]" >&2
    exit 2
    ;;
esac

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
