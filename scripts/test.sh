#!/usr/bin/env bash
# Installs what is missing, builds Kolvane with warnings as errors, and runs every
# test: the whole suite, the engine and CLI again under AddressSanitizer and
# UndefinedBehaviorSanitizer, and a short property fuzz of the line ripper.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
jobs="$(nproc)"

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DKOLVANE_WERROR=ON >/dev/null
cmake --build build -j"$jobs"
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j"$jobs"

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DKOLVANE_WERROR=ON -DKOLVANE_GUI=OFF \
  -DKOLVANE_BENCH=OFF -DKOLVANE_SANITIZE=address,undefined >/dev/null
cmake --build build-asan -j"$jobs"
ctest --test-dir build-asan --output-on-failure -j"$jobs"

if [ -f tests/fuzz/CMakeLists.txt ]; then
  CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOLVANE_GUI=OFF \
    -DKOLVANE_BENCH=OFF -DKOLVANE_FUZZ=ON >/dev/null
  cmake --build build-fuzz -j"$jobs" --target fuzz_lineripper
  build-fuzz/tests/fuzz/fuzz_lineripper -max_total_time="${FUZZ_SECONDS:-30}" -max_len=4096
fi
