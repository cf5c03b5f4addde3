#!/usr/bin/env bash
# --part on this machine: what each part of a file reads, and the time of N
# parts run by GNU parallel (--threads 1 each, as many at once as there are
# cores) side by side with one run on every core. The bytes read are
# measured on the quoted benchmark's export (2,000,000 records, about 230 MB,
# a value with line ends in every few records) and on the worst case, the
# plain reference file read in quoted mode, which holds no quote, so a
# part's edge is learnt only from the file's start. The times are taken on
# those files repeated to 2.4-10 GB (about 22 GB of disk in bench/data).
# Beside them, GNU parallel's byte blocks piped into kolvane-rip, on the
# plain reference file (the quoted export would be cut inside its values).
# Run it from anywhere, on an idle machine:
#
#   bash bench/parts.sh
#
#   KOLVANE_BENCH_RUNS=N      timed runs per command (default 5)
#   KOLVANE_BENCH_BUILD=DIR   build directory (default build-bench)
#
# Hyperfine's JSON and the summary stay in bench/data/results/.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=bench/common.sh
source bench/common.sh

runs="${KOLVANE_BENCH_RUNS:-5}"
command -v hyperfine >/dev/null || bash scripts/deps.sh --bench
command -v parallel >/dev/null || apt-get install -y -qq parallel >/dev/null
build_tools gen_quoted gen_reference
mkdir -p "$results"
csv="$data/quoted.csv"
generate gen_quoted "$csv" 2000000
generate gen_reference "$ref" "$ref_lines"
summary="$results/parts-summary.txt"
exec > >(tee "$summary") 2>&1

echo "kolvane-rip --part benchmark, $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo

# Bytes a command reads: a child's reads count towards its shell once it has
# been waited for.
bytes_read() {
  bash -c '"$@" >/dev/null; awk "/^rchar/ { print \$2 }" /proc/$$/io' _ "$@"
}
per_part() {  # label file options...
  local label="$1" file="$2" size
  shift 2
  size=$(stat -c %s "$file")
  printf '%s: %s bytes, 1/8 = %s\n' "$label" "$size" "$((size / 8))"
  for k in $(seq 8); do
    printf '  part %s/8 read %s\n' "$k" "$(bytes_read "$rip" --threads 1 "$@" --part "$k/8" "$file")"
  done
}
per_part "quoted export, --csv -H -f email,name" "$csv" --csv -H -f email,name
per_part "no quote at all, --quoted (worst case)" "$ref" --quoted -f 2
per_part "the same, plain mode" "$ref" -f 2
echo

# The times, on files of several sizes and two shapes (the quoted export and
# the plain reference file, each repeated end to end), so that GNU parallel's
# own start (about 0.3 s, a fixed cost) shows as what it is. Two ways to get
# the parts' output, each beside one run that writes the same way:
# - through standard output with -k: GNU parallel keeps each part's output
#   in a temporary file until its turn and copies it out, which costs time
#   in proportion to the output;
# - each part into a file of its own (-a), as a Slurm array writes them,
#   beside one run into one file: no copy.
# GNU parallel running nothing shows what its start costs.
q() { printf '%q' "$1"; }
r="$(q "$rip")"
cores=$(nproc)
parts="$(seq -s ' ' "$cores")"
repeated() {  # source times: prints the path of the source repeated end to end
  local out="$data/$(basename "${1%.*}")-x$2.${1##*.}"
  [ -f "$out" ] && [ "$(stat -c %s "$out")" = "$(($(stat -c %s "$1") * $2))" ] ||
    for _ in $(seq "$2"); do cat "$1"; done >"$out"
  echo "$out"
}
time_shape() {  # label file options...
  local label="$1" path="$2" file out json stats prepare
  file="$(q "$path")"
  shift 2
  out="$(q "$results/parts-out")"
  prepare="rm -f $out.one"
  for k in $parts; do prepare+=" $out.$k"; done
  json="$results/parts-$(basename "$path" | tr -c 'a-z0-9\n' -).json"
  hyperfine -N --warmup 1 --runs "$runs" --export-json "$json" --output=null \
    --prepare "$prepare" \
    -n "one run" "$r $* $file" \
    -n "$cores parts -k" "parallel -k -q $r --threads 1 $* --part {}/$cores $file ::: $parts" \
    -n "one run, -a file" "$r $* -a $out.one $file" \
    -n "$cores parts, -a files" \
    "parallel -q $r --threads 1 $* --part {}/$cores -a $out.{} $file ::: $parts" \
    -n "GNU parallel alone" "parallel -k true ::: $parts" >/dev/null
  stats="$(hyperfine_stats "$json")"
  rm -f "$results"/parts-out.*
  printf '%s, %s bytes\n' "$label" "$(stat -c %s "$path")"
  printf '  %-22s %9s %9s %8s\n' job "mean s" "cpu s" "x one"
  while IFS='|' read -r name mean _ _ _ cpu; do
    case "$name" in *files | *file) one=$(stat_of "one run, -a file" 2) ;; *) one=$(stat_of "one run" 2) ;; esac
    printf '  %-22s %9.3f %9.3f %8.2f\n' "$name" "$mean" "$cpu" \
      "$(awk -v a="$mean" -v b="$one" 'BEGIN { print a / b }')"
  done <<<"$stats"
}
export_opts="--csv -H -f email,name"
# shellcheck disable=SC2086 # the options are words
for times in 10 40; do
  time_shape "quoted export x$times, $export_opts" "$(repeated "$csv" "$times")" $export_opts
done
time_shape "plain reference x50, -f 2,4" "$(repeated "$ref" 50)" -f 2,4
echo

# GNU parallel's byte blocks piped into kolvane-rip, the recipe --part
# replaces, beside one run on the plain reference file.
json="$results/parts-blocks.json"
hyperfine -N --warmup 1 --runs "$runs" --export-json "$json" --output=null \
  -n "one plain run" "$r -f 2,4 $(q "$ref")" \
  -n "byte blocks, plain" "parallel --pipepart -a $(q "$ref") --block 30M -k $r --threads 1 -f 2,4" \
  >/dev/null
stats="$(hyperfine_stats "$json")"
printf 'byte blocks piped through GNU parallel: %.3f s, %.2f x one run (%.3f s)\n' \
  "$(stat_of "byte blocks, plain" 2)" \
  "$(awk -v a="$(stat_of "byte blocks, plain" 2)" -v b="$(stat_of "one plain run" 2)" 'BEGIN { print a / b }')" \
  "$(stat_of "one plain run" 2)"
