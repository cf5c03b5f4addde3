#!/usr/bin/env bash
# Installs what is missing, builds Kolvane and starts its window.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DKOLVANE_GUI=ON >/dev/null
cmake --build build -j"$(nproc)"
if [ -x build/window/kolvane ]; then
  exec build/window/kolvane "$@"
fi
exec build/cli/kolvane-rip --help
