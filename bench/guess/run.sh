#!/usr/bin/env bash
# Accuracy of the format guess on the real corpus (bench/guess/real/, public
# files with the source and dialect of each in labels.tsv) and on a
# generated one, beside Python's csv.Sniffer and CleverCSV on the same files
# in the same run:
#
#   bash bench/guess/run.sh [--families] [--misses]
#
# It installs what is missing (scripts/deps.sh --bench), builds kolvane-rip in
# build-bench/, writes the generated corpus (the same bytes on every run) to
# bench/data/guess-corpus/ and prints for each tool the share of split strings,
# quoting and header guessed right, and whether a one-column file was ever
# split. --families adds a line per kind of file, --misses kolvane's misses.
# The time a guess takes is in build-bench/bench/guess_speed.
set -euo pipefail
cd "$(dirname "$0")/../.."

build="${KOLVANE_BENCH_BUILD:-build-bench}"
corpus=bench/data/guess-corpus
if ! /usr/bin/python3 -c 'import clevercsv' 2>/dev/null; then
  bash scripts/deps.sh --bench
fi
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DKOLVANE_GUI=OFF -DKOLVANE_TESTS=OFF \
  -DKOLVANE_BENCH=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target kolvane-rip >/dev/null
/usr/bin/python3 bench/guess/make_corpus.py "$corpus"
/usr/bin/python3 bench/guess/evaluate.py "$build/cli/kolvane-rip" bench/guess/real \
  bench/guess/real/labels.tsv "$@"
/usr/bin/python3 bench/guess/evaluate.py "$build/cli/kolvane-rip" "$corpus" "$corpus/truth.tsv" "$@"
