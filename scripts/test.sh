#!/usr/bin/env bash
# Installs what is missing, builds Kolvane with warnings as errors, and runs every
# test: the whole suite, the engine and CLI again under AddressSanitizer and
# UndefinedBehaviorSanitizer, and a short property fuzz of the line ripper.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh --test
jobs="$(nproc)"
passed=0
failed=0
# Runs ctest on a build folder and adds its counts to the totals.
run_ctest() {
  local log
  log="$(mktemp)"
  local status=0
  QT_QPA_PLATFORM=offscreen ctest --test-dir "$1" --output-on-failure -j"$jobs" 2>&1 | tee "$log" || status=1
  local line
  line="$(grep -E '[0-9]+ tests failed out of [0-9]+' "$log" | tail -1)"
  rm -f "$log"
  if [ -z "$line" ]; then
    echo "ctest in $1 printed no summary"
    exit 1
  fi
  local total bad
  total="$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")"
  bad="$(sed -E 's/.* ([0-9]+) tests failed.*/\1/' <<<"$line")"
  passed=$((passed + total - bad))
  failed=$((failed + bad))
  [ "$status" -eq 0 ] && [ "$bad" -eq 0 ]
}

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DKOLVANE_WERROR=ON -DKOLVANE_GUI=ON \
  -DKOLVANE_TESTS=ON -DKOLVANE_BENCH=ON >/dev/null
cmake --build build -j"$jobs"
run_ctest build

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DKOLVANE_WERROR=ON -DKOLVANE_GUI=OFF \
  -DKOLVANE_BENCH=OFF -DKOLVANE_SANITIZE=address,undefined >/dev/null
cmake --build build-asan -j"$jobs"
run_ctest build-asan

if [ -f tests/fuzz/CMakeLists.txt ]; then
  CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOLVANE_GUI=OFF \
    -DKOLVANE_BENCH=OFF -DKOLVANE_FUZZ=ON >/dev/null
  cmake --build build-fuzz -j"$jobs" --target fuzz_lineripper
  build-fuzz/tests/fuzz/fuzz_lineripper -max_total_time="${FUZZ_SECONDS:-30}" -max_len=4096
  passed=$((passed + 1))
fi
echo
echo "$passed passed, $failed failed"
