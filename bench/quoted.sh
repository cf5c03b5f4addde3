#!/usr/bin/env bash
# Speed of kolvane-rip on quoted fields (CSV) over a family of export shapes,
# each side by side in one run with plain mode on the same bytes: the share
# of records with a quoted value (0% to 100%), doubled quotes, line ends
# inside quotes, a wide export and short and long values (bench/shapes.cpp;
# 2,000,000 records each, CR LF). The job is columns 3 and 2 (`--csv -f 3,2`
# against `-s , -j , -f 3,2`), one thread and the default. Also --quoted on
# the plain reference file against plain mode there, and Miller and Python's
# csv module on the "mixed" shape. Run it from anywhere, on an idle machine:
#
#   bash bench/quoted.sh [SHAPE...]        (default: every shape)
#
#   KOLVANE_BENCH_RUNS=N      timed runs per command (default 5)
#   KOLVANE_BENCH_BUILD=DIR   build directory (default build-bench)
#   KOLVANE_BENCH_BEFORE=BIN  another kolvane-rip timed beside this one, in the
#                             same run, on the --csv jobs (a before/after table)
#   KOLVANE_BENCH_OTHERS=0    leave Miller and Python out
#
# Timings on a shared machine swing by up to 30% between runs: read the ratios
# of one run, not times across runs. Hyperfine's JSON and the summary stay in
# bench/data/results/.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=bench/common.sh
source bench/common.sh

runs="${KOLVANE_BENCH_RUNS:-5}"
before="${KOLVANE_BENCH_BEFORE:-}"
others="${KOLVANE_BENCH_OTHERS:-1}"
out="$results/quoted-out"
records=2000000

if ! command -v hyperfine >/dev/null || ! command -v mlr >/dev/null; then
  bash scripts/deps.sh --bench
fi
build_tools gen_reference gen_shape
mapfile -t family < <("$build/bench/gen_shape" --list)
[ $# -gt 0 ] && family=("$@")
mkdir -p "$out" "$data/shapes"
for shape in "${family[@]}"; do
  "$build/bench/gen_shape" "$shape" /dev/null 1 >/dev/null || exit 2
  generate gen_shape "$data/shapes/$shape.csv" "$records" "$shape"
done
generate gen_reference "$ref" "$ref_lines"
summary="$results/quoted-summary.txt"
exec > >(tee "$summary") 2>&1

echo "kolvane-rip quoted-fields benchmark, $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')," \
  "load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "data:    ${#family[@]} shapes of $records records (bench/data/shapes/); $ref"
[ -n "$before" ] && echo "before:  $before"
echo

q() { printf '%q' "$1"; }
r="$(q "$rip")"
s="$(q "$ref")"
# Times each named job with hyperfine; their output goes to a file.
time_jobs() {  # json-file name command [name command ...]
  local json="$1" args=() cmds=()
  shift
  while [ $# -gt 0 ]; do
    local file
    file="$(q "$out/$(tr -c 'A-Za-z0-9' _ <<<"$1").out")"
    args+=(-n "$1" --prepare "rm -f $file")
    cmds+=("${2//\{out\}/$file}")
    shift 2
  done
  hyperfine --style none --warmup 1 --runs "$runs" --export-json "$json" "${args[@]}" "${cmds[@]}" \
    >/dev/null 2>&1
}
ratio() {  # numerator-job denominator-job
  local a b
  a="$(stat_of "$1" 4)"
  b="$(stat_of "$2" 4)"
  [ -n "$a" ] && [ -n "$b" ] && awk -v a="$a" -v b="$b" 'BEGIN { printf "%.2f", a / b }'
}

printf '%-10s %5s %9s %9s %7s' shape threads plain --csv ratio
[ -n "$before" ] && printf ' %9s %7s' "before" "ratio"
printf '\n'
worst=0
for shape in "${family[@]}"; do
  c="$(q "$data/shapes/$shape.csv")"
  jobs=()
  for t in 1 n; do
    opt=""
    [ "$t" = 1 ] && opt="--threads 1 "
    jobs+=("T$t plain" "$r $opt-s , -j , -f 3,2 -a {out} $c" "T$t csv" "$r $opt--csv -f 3,2 -a {out} $c")
    [ -n "$before" ] && jobs+=("T$t before" "$(q "$before") $opt--csv -f 3,2 -a {out} $c")
  done
  time_jobs "$results/quoted-$shape.json" "${jobs[@]}"
  cmp -s "$out/T1_csv_.out" "$out/Tn_csv_.out" || { echo "$shape: --csv differs between thread settings"; exit 1; }
  if [ -n "$before" ]; then
    cmp -s "$out/T1_csv_.out" "$out/T1_before_.out" || echo "$shape: WARNING: before and after differ"
  fi
  stats=$(hyperfine_stats "$results/quoted-$shape.json")
  for t in 1 n; do
    rt="$(ratio "T$t csv" "T$t plain")"
    printf '%-10s %5s %9.3f %9.3f %7s' "$shape" "T$t" "$(stat_of "T$t plain" 4)" "$(stat_of "T$t csv" 4)" "$rt"
    [ -n "$before" ] && printf ' %9.3f %7s' "$(stat_of "T$t before" 4)" "$(ratio "T$t before" "T$t plain")"
    printf '\n'
    worst=$(awk -v w="$worst" -v r="$rt" 'BEGIN { print (r > w ? r : w) }')
  done
done
echo "median seconds; ratio = --csv / plain on the same bytes; worst --csv ratio $worst (target <= 1.25)"
echo

time_jobs "$results/quoted-ref.json" \
  "T1 ref plain" "$r --threads 1 -f 2,4 -a {out} $s" "T1 ref quoted" "$r --threads 1 --quoted -f 2,4 -a {out} $s" \
  "Tn ref plain" "$r -f 2,4 -a {out} $s" "Tn ref quoted" "$r --quoted -f 2,4 -a {out} $s"
cmp -s "$out/T1_ref_quoted_.out" "$out/T1_ref_plain_.out" || { echo "--quoted changed a file without quotes"; exit 1; }
stats=$(hyperfine_stats "$results/quoted-ref.json")
for t in 1 n; do
  printf '%-10s %5s %9.3f %9.3f %7s   (--quoted / plain, target <= 1.1)\n' ref "T$t" \
    "$(stat_of "T$t ref plain" 4)" "$(stat_of "T$t ref quoted" 4)" "$(ratio "T$t ref quoted" "T$t ref plain")"
done

if [ "$others" = 1 ] && [ -f "$data/shapes/mixed.csv" ]; then
  c="$(q "$data/shapes/mixed.csv")"
  cat >"$results/select.py" <<'PY'
import csv, sys
w = csv.writer(sys.stdout, lineterminator="\r\n")
with open(sys.argv[1], newline="") as f:
    for row in csv.reader(f):
        w.writerow((row[2], row[1]))
PY
  time_jobs "$results/quoted-others.json" "Tn csv" "$r --csv -f 3,2 -a {out} $c" \
    miller "mlr --icsv --ocsv --ors crlf cut -o -f c3,c2 $c > {out}" \
    "python csv" "python3 $(q "$results/select.py") $c > {out}"
  cmp -s "$out/Tn_csv_.out" "$out/python_csv.out" || echo "WARNING: --csv differs from Python csv"
  stats=$(hyperfine_stats "$results/quoted-others.json")
  echo
  echo "mixed shape: Miller $(ratio miller "Tn csv")x and Python csv $(ratio "python csv" "Tn csv")x the time of --csv (default threads)"
fi
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
