#!/usr/bin/env bash
# Installs what is missing, builds Kolvane and starts its window:
#   bash scripts/run.sh [FILE]    FILE is looked up from the folder you are in
set -euo pipefail
# The build happens in the repository, so a file named relative to the
# caller's folder is made absolute before changing there.
args=()
for arg in "$@"; do
  if [[ "$arg" == -* ]]; then args+=("$arg"); else args+=("$(realpath -m -- "$arg")"); fi
done
cd "$(dirname "$0")/.."
bash scripts/deps.sh
# Only what the window needs: no tests, no benchmarks.
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DKOLVANE_GUI=ON -DKOLVANE_TESTS=OFF \
  -DKOLVANE_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)" --target kolvane kolvane-rip
exec build/window/kolvane "${args[@]}"
