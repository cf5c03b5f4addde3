#!/usr/bin/env bash
# What reading another encoding costs: kolvane-rip -f 2,4 on the reference file
# as UTF-8 and the same text as UTF-16LE with a byte-order mark (converted by
# our own UTF-16 path), with one thread (--threads 1) and with its default, side
# by side in one hyperfine run. For information, the same text declared as
# cp1252 (read through iconv) and iconv alone turning the UTF-16 into UTF-8.
# Run it from anywhere, on an otherwise idle machine:
#
#   bash bench/encoding.sh
#
# It installs what is missing (scripts/deps.sh --bench), makes a Release build
# in build-bench/, writes the reference data to bench/data/ unless it is there
# and its converted copies beside it, checks that every job wrote the same
# bytes, and prints the times and the ratios. Timings on a shared machine swing:
# compare the ratios of one run, not times of different runs.
#
#   KOLVANE_BENCH_RUNS=N      timed runs per command (default 5)
#   KOLVANE_BENCH_BUILD=DIR   build directory (default build-bench)
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=bench/common.sh
source bench/common.sh

runs="${KOLVANE_BENCH_RUNS:-5}"
out="$results/out"
utf16="$data/ref-utf16le.txt"
cp1252="$data/ref-cp1252.txt"

if ! command -v hyperfine >/dev/null || ! command -v iconv >/dev/null; then
  bash scripts/deps.sh --bench
fi

build_tools gen_reference

mkdir -p "$out"
generate gen_reference "$ref" "$ref_lines"
# The copies are made again whenever the reference is newer.
if [ ! -f "$utf16" ] || [ "$ref" -nt "$utf16" ]; then
  { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE "$ref"; } >"$utf16"
fi
if [ ! -f "$cp1252" ] || [ "$ref" -nt "$cp1252" ]; then
  iconv -f UTF-8 -t CP1252 "$ref" >"$cp1252"
fi

summary="$results/encoding.txt"
exec > >(tee "$summary") 2>&1
echo "kolvane-rip encodings benchmark, $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')," \
  "load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "data:    $ref ($(stat -c %s "$ref") bytes), $utf16 ($(stat -c %s "$utf16") bytes)"
echo

q() { printf '%q' "$1"; }
args=()
cmds=()
job() {  # name output-file|null command
  local file
  file="$(q "$out/$2")"
  args+=(-n "$1" --prepare "$([ "$2" = null ] && echo true || echo "rm -f $file")")
  cmds+=("${3//\{out\}/$file}")
}
r="$(q "$rip")"
for t in 1 n; do
  opt=""
  if [ "$t" = 1 ]; then opt="--threads 1 "; fi
  job "T$t utf-8" "enc-T$t-utf8.txt" "$r $opt-f 2,4 -a {out} $(q "$ref")"
  job "T$t utf-16le" "enc-T$t-utf16.txt" "$r $opt-f 2,4 -a {out} $(q "$utf16")"
  job "T$t cp1252" "enc-T$t-cp1252.txt" "$r $opt--encoding cp1252 -f 2,4 -a {out} $(q "$cp1252")"
done
job "iconv utf-16le alone" null "iconv -f UTF-16 -t UTF-8 $(q "$utf16") >/dev/null"

echo "Timing ${#cmds[@]} jobs, $runs runs each after a warm-up..."
hyperfine --style basic --warmup 1 --runs "$runs" --export-json "$results/encoding.json" \
  "${args[@]}" "${cmds[@]}" >"$results/encoding-hyperfine.txt" 2>&1

# Every encoding and thread setting wrote the same bytes.
for f in T1-utf16 T1-cp1252 Tn-utf8 Tn-utf16 Tn-cp1252; do
  cmp -s "$out/enc-T1-utf8.txt" "$out/enc-$f.txt" || { echo "$f differs from T1-utf8"; exit 1; }
done

# name|mean|median|min|user+system per job, in the order run.
stats=$(hyperfine_stats "$results/encoding.json")

echo "Time per job (hyperfine, $runs runs after 1 warm-up)"
printf '%s\n' "$stats" | awk -F'|' '
  BEGIN { printf "  %-22s %8s %8s %8s %8s\n", "job", "mean s", "median", "min", "cpu s" }
  { printf "  %-22s %8.3f %8.3f %8.3f %8.3f\n", $1, $2, $4, $5, $6 }'
echo

ratio() {  # label numerator-job denominator-job [target]
  awk -v l="$1" -v t="${4:-}" \
    -v a="$(stat_of "$2" 2)" -v b="$(stat_of "$3" 2)" \
    -v am="$(stat_of "$2" 4)" -v bm="$(stat_of "$3" 4)" \
    -v an="$(stat_of "$2" 5)" -v bn="$(stat_of "$3" 5)" \
    -v ac="$(stat_of "$2" 6)" -v bc="$(stat_of "$3" 6)" 'BEGIN {
    r = a / b
    verdict = t == "" ? "" : r <= t ? "ok" : "MISSED"
    printf "  %-30s %6.2f %6.2f %6.2f %6.2f   %-12s %s\n", l, r, am / bm, an / bn, ac / bc,
      t == "" ? "" : "target <= " t, verdict
  }'
}
echo "Ratios (T1: --threads 1, Tn: default)  mean median    min    cpu"
ratio "(T1 utf-16le) / (T1 utf-8)" "T1 utf-16le" "T1 utf-8" 3
ratio "(Tn utf-16le) / (Tn utf-8)" "Tn utf-16le" "Tn utf-8" 3
ratio "(T1 cp1252) / (T1 utf-8)" "T1 cp1252" "T1 utf-8"
ratio "(Tn cp1252) / (Tn utf-8)" "Tn cp1252" "Tn utf-8"
ratio "iconv alone / (T1 utf-8)" "iconv utf-16le alone" "T1 utf-8"
echo
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
