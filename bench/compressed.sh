#!/usr/bin/env bash
# Speed and memory of kolvane-rip on the reference file compressed with gzip,
# zstd, xz and bzip2, side by side in one hyperfine run with each format's own
# decompressor writing to /dev/null (what decompressing alone costs). A rip
# decompresses on one thread while it rips on the others, so the target is a
# rip that costs little more than its decompressor, with one thread too:
#
#   bash bench/compressed.sh
#
# It installs what is missing (scripts/deps.sh --bench), makes a Release build
# in build-bench/, writes the reference data to bench/data/ unless it is there
# (as bench/run.sh does) and compresses it once per format with each tool's
# default level; xz at level 1 (the default takes minutes to compress, and
# decompressing differs little) and on one thread, so it makes one block as
# most files hold.
# Then it prints the times, the ratios against the decompressors with their
# targets, and the peak resident memory of each rip. A few minutes on a
# 2-core machine, most of it bzip2 and, the first time, xz compressing.
#
#   KOLVANE_BENCH_RUNS=N      timed runs per command (default 3)
#   KOLVANE_BENCH_FORMATS=..  only these formats, e.g. "gzip zstd" (default all four)
#   KOLVANE_BENCH_BUILD=DIR   build directory (default build-bench)
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=bench/common.sh
source bench/common.sh

runs="${KOLVANE_BENCH_RUNS:-3}"
out="$results/out"

if ! command -v hyperfine >/dev/null || [ ! -x /usr/bin/time ] || ! command -v zstd >/dev/null; then
  bash scripts/deps.sh --bench
fi

build_tools gen_reference

mkdir -p "$out"
generate gen_reference "$ref" "$ref_lines"
# format|suffix|compressor|decompressor
formats=(
  "gzip|gz|gzip -c|gzip -dc"
  "zstd|zst|zstd -q -c|zstd -q -dc"
  "xz|xz|xz -T1 -1 -c|xz -dc"
  "bzip2|bz2|bzip2 -c|bzip2 -dc"
)
if [ -n "${KOLVANE_BENCH_FORMATS:-}" ]; then
  chosen=()
  for f in "${formats[@]}"; do
    [[ " $KOLVANE_BENCH_FORMATS " == *" ${f%%|*} "* ]] && chosen+=("$f")
  done
  formats=("${chosen[@]}")
fi
for f in "${formats[@]}"; do
  IFS='|' read -r _ suffix compress _ <<<"$f"
  if [ ! -f "$ref.$suffix" ] || [ "$ref.$suffix" -ot "$ref" ]; then
    echo "Compressing $ref with $compress..."
    $compress "$ref" >"$ref.$suffix.part" && mv "$ref.$suffix.part" "$ref.$suffix"
  fi
done

summary="$results/compressed.txt"
exec > >(tee "$summary") 2>&1
echo "kolvane-rip on compressed sources, $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')," \
  "load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "tools:   $(hyperfine --version), $(gzip --version | head -1), $(zstd --version | head -1),"
echo "         $(xz --version | head -1), $(bzip2 --help 2>&1 | head -1)"
echo "data:    $ref, $ref_lines lines, $(stat -c %s "$ref") bytes"
for f in "${formats[@]}"; do
  IFS='|' read -r name suffix _ _ <<<"$f"
  echo "         $name: $(stat -c %s "$ref.$suffix") bytes"
done
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
for f in "${formats[@]}"; do
  IFS='|' read -r name suffix _ decompress <<<"$f"
  s="$(q "$ref.$suffix")"
  job "$decompress" null "$decompress $s >/dev/null"
  job "$name T1" "$name-T1.txt" "$r --threads 1 -f 2,4 -a {out} $s"
  job "$name Tn" "$name-Tn.txt" "$r -f 2,4 -a {out} $s"
done

echo "Timing ${#cmds[@]} jobs, $runs runs each after a warm-up..."
hyperfine --style basic --warmup 1 --runs "$runs" --export-json "$results/compressed.json" \
  "${args[@]}" "${cmds[@]}" >"$results/compressed-hyperfine.txt" 2>&1
if grep -q 'outliers' "$results/compressed-hyperfine.txt"; then
  echo "  (hyperfine saw outliers: something else was busy; medians are the steadier figure)"
fi

# Every rip wrote what a rip of the plain file writes, with any thread count.
"$rip" -f 2,4 -a "$out/plain.txt" "$ref"
for f in "${formats[@]}"; do
  IFS='|' read -r name _ _ _ <<<"$f"
  for t in T1 Tn; do
    cmp -s "$out/plain.txt" "$out/$name-$t.txt" || { echo "$name $t differs from the plain rip"; exit 1; }
  done
done
rm -f "$out/plain.txt"

stats=$(hyperfine_stats "$results/compressed.json")

echo "Time per job (hyperfine, $runs runs after 1 warm-up; rips append to a file)"
printf '%s\n' "$stats" | awk -F'|' '
  BEGIN { printf "  %-16s %8s %8s %8s %8s %8s\n", "job", "mean s", "stddev", "median", "min", "cpu s" }
  { printf "  %-16s %8.3f %8.3f %8.3f %8.3f %8.3f\n", $1, $2, $3, $4, $5, $6 }'
echo

ratio() {  # label numerator-job denominator-job [comparison target]
  awk -v l="$1" -v op="${4:-}" -v t="${5:-}" \
    -v a="$(stat_of "$2" 2)" -v b="$(stat_of "$3" 2)" \
    -v am="$(stat_of "$2" 4)" -v bm="$(stat_of "$3" 4)" \
    -v an="$(stat_of "$2" 5)" -v bn="$(stat_of "$3" 5)" 'BEGIN {
    r = a / b
    verdict = op == "" ? "" : (op == ">=" ? r >= t : r <= t) ? "ok" : "MISSED"
    target = op == "" ? "" : "target " op " " t
    printf "  %-28s %6.2f %6.2f %6.2f   %-14s %s\n", l, r, am / bm, an / bn, target, verdict
  }'
}
echo "Ratios, rip / decompressor alone   mean median    min"
has() { [[ " ${formats[*]} " == *" $1|"* ]]; }
for t in T1 Tn; do
  if has gzip; then ratio "gzip $t / gzip -dc" "gzip $t" "gzip -dc" "<=" 0.6; fi
  if has zstd; then ratio "zstd $t / zstd -dc" "zstd $t" "zstd -q -dc" "<=" 1.15; fi
  if has xz; then ratio "xz $t / xz -dc" "xz $t" "xz -dc"; fi
  if has bzip2; then ratio "bzip2 $t / bzip2 -dc" "bzip2 $t" "bzip2 -dc"; fi
done
echo

echo "Peak resident memory and wall time of one rip (target: < 64 MiB)"
for f in "${formats[@]}"; do
  IFS='|' read -r name suffix _ _ <<<"$f"
  for t in 1 n; do
    opt=()
    [ "$t" = 1 ] && opt=(--threads 1)
    /usr/bin/time -v -o "$results/time.txt" "$rip" "${opt[@]}" -f 2,4 "$ref.$suffix" >/dev/null
    awk -v l="$name T$t" -F': ' '
      /Maximum resident set size/ { kb = $2 }
      /Elapsed \(wall clock\)/    { n = split($2, w, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + w[i] }
      END { printf "  %-16s %7.1f MiB %8.2f s   %s\n", l, kb / 1024, s, kb < 65536 ? "ok" : "MISSED" }
    ' "$results/time.txt"
  done
done
rm -f "$results/time.txt" "$out"/*-T1.txt "$out"/*-Tn.txt
