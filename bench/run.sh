#!/usr/bin/env bash
# Speed and memory of kolvane-rip on the reference job, with one thread
# (--threads 1) and with its default (one per core), side by side with GNU cut
# and mawk doing the same job and `wc -l` reading the same file (the floor a
# rip cannot beat). Run it from anywhere, on an otherwise idle machine:
#
#   bash bench/run.sh
#
# It installs what is missing (hyperfine, mawk, GNU time: scripts/deps.sh --bench),
# makes a Release build in build-bench/, writes the reference data to bench/data/
# unless it is there (2,000,000 lines, 196 MB, the same bytes on every machine),
# times every job with hyperfine in one go (each writing its output to a file),
# and prints the times (mean, median, best, CPU), the ratios against their
# targets and the peak resident memory of rips on the reference file and on a
# 1 GiB file (kept in bench/data/ too). About two minutes on a 2-core machine.
#
#   KOLVANE_BENCH_SKIP_1G=1   skip the 1 GiB part (saves time and 1.5 GB of disk)
#   KOLVANE_BENCH_RUNS=N      timed runs per command (default 10)
#   KOLVANE_BENCH_BUILD=DIR   build directory (default build-bench)
#
# Hyperfine's JSON, the outputs and a copy of the summary stay in bench/data/results/.
# The hot loop's pieces are timed by build-bench/bench/micro_hotloop (Google Benchmark).
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=bench/common.sh
source bench/common.sh

runs="${KOLVANE_BENCH_RUNS:-10}"
out="$results/out"
big="$data/ref-1g.txt"
big_lines=11000000

if ! command -v hyperfine >/dev/null || ! command -v mawk >/dev/null || [ ! -x /usr/bin/time ]; then
  bash scripts/deps.sh --bench
fi

build_tools gen_reference

mkdir -p "$out"
generate gen_reference "$ref" "$ref_lines"
ref_bytes=$(stat -c %s "$ref")
summary="$results/summary.txt"
exec > >(tee "$summary") 2>&1

echo "kolvane-rip benchmark, $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')," \
  "load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "tools:   $(hyperfine --version), $(cut --version | head -1), $(mawk -W version 2>&1 | head -1)"
echo "data:    $ref, $ref_lines lines, $ref_bytes bytes"
echo

q() { printf '%q' "$1"; }
# Every job writes a fresh file named in place of {out}: cut and mawk would
# otherwise pay for truncating the last run's output, and -a appends.
args=()
cmds=()
job() {  # name output-file|null command
  local file
  file="$(q "$out/$2")"
  args+=(-n "$1" --prepare "$([ "$2" = null ] && echo true || echo "rm -f $file")")
  cmds+=("${3//\{out\}/$file}")
}
r="$(q "$rip")"
s="$(q "$ref")"
# "T1": --threads 1, one thread; "Tn": the default, every core.
for t in 1 n; do
  opt=""
  if [ "$t" = 1 ]; then opt="--threads 1 "; fi
  job "T$t -f 2,4" "kolvane-T$t-f2,4.txt" "$r $opt-f 2,4 -a {out} $s"
  job "T$t -f 4,2,2" "kolvane-T$t-f4,2,2.txt" "$r $opt-f 4,2,2 -a {out} $s"
  job "T$t -t [4]-[2]" "kolvane-T$t-t.txt" "$r $opt-t '[4]-[2]' -a {out} $s"
done
job "cut" cut.txt "cut -d'|' -f2,4 --output-delimiter=: $s > {out}"
job "mawk" mawk.txt "mawk -F'|' -v OFS=: '{print \$2,\$4}' $s > {out}"
job "wc -l" wc.txt "wc -l $s > {out}"
# Not held to a target: the same two field lists with nothing written, which
# shows how much of their difference is the kernel copying the larger output.
job "T1 -f 2,4 null" null "$r --threads 1 -f 2,4 $s > /dev/null"
job "T1 -f 4,2,2 null" null "$r --threads 1 -f 4,2,2 $s > /dev/null"

echo "Timing ${#cmds[@]} jobs, $runs runs each after a warm-up..."
hyperfine --style basic --warmup 1 --runs "$runs" --export-json "$results/speed.json" \
  "${args[@]}" "${cmds[@]}" >"$results/hyperfine.txt" 2>&1
if grep -q 'outliers' "$results/hyperfine.txt"; then
  echo "  (hyperfine saw outliers: something else was busy; medians are the steadier figure)"
fi

# Same work for everyone: the reference job's output equals cut's and mawk's
# (less any CR, were kolvane-rip asked for CR LF), and every job wrote every line.
# Both thread settings wrote the same bytes.
tr -d '\r' <"$out/kolvane-T1-f2,4.txt" | cmp -s - "$out/cut.txt" || { echo "kolvane -f 2,4 differs from cut"; exit 1; }
cmp -s "$out/cut.txt" "$out/mawk.txt" || { echo "mawk differs from cut"; exit 1; }
for f in f2,4 f4,2,2 t; do
  cmp -s "$out/kolvane-T1-$f.txt" "$out/kolvane-Tn-$f.txt" || { echo "$f differs between thread settings"; exit 1; }
  n=$(wc -l <"$out/kolvane-T1-$f.txt")
  [ "$n" -eq "$ref_lines" ] || { echo "$f wrote $n lines, not $ref_lines"; exit 1; }
done

# name|mean|stddev|median|min|user+system per job, in the order run.
stats=$(hyperfine_stats "$results/speed.json")

echo "Time per job (hyperfine, $runs runs after 1 warm-up; output to a file except the null jobs)"
printf '%s\n' "$stats" | awk -F'|' -v bytes="$ref_bytes" '
  BEGIN { printf "  %-22s %8s %8s %8s %8s %8s %6s\n", "job", "mean s", "stddev", "median", "min", "cpu s", "MB/s" }
  { printf "  %-22s %8.4f %8.4f %8.4f %8.4f %8.4f %6.0f\n", $1, $2, $3, $4, $5, $6, bytes / $2 / 1e6 }'
echo

# The verdict goes by the mean wall times. Other load only ever adds time, so
# when a mean misses, the best runs and the CPU time (user + system, which
# waiting for a core does not inflate) say whether the miss was noise.
ratio() {  # label numerator-job denominator-job [comparison target]
  awk -v l="$1" -v op="${4:-}" -v t="${5:-}" \
    -v a="$(stat_of "$2" 2)" -v b="$(stat_of "$3" 2)" \
    -v am="$(stat_of "$2" 4)" -v bm="$(stat_of "$3" 4)" \
    -v an="$(stat_of "$2" 5)" -v bn="$(stat_of "$3" 5)" \
    -v ac="$(stat_of "$2" 6)" -v bc="$(stat_of "$3" 6)" 'BEGIN {
    r = a / b
    verdict = op == "" ? "" : (op == ">=" ? r >= t : r <= t) ? "ok" : "MISSED"
    target = op == "" ? "" : "target " op " " t
    printf "  %-38s %6.2f %6.2f %6.2f %6.2f   %-14s %s\n", l, r, am / bm, an / bn, ac / bc, target, verdict
  }'
}
echo "Ratios (T1: --threads 1, Tn: default)  mean median    min    cpu"
ratio "cut / (T1 -f 2,4)" cut "T1 -f 2,4" ">=" 5
ratio "cut / (Tn -f 2,4)" cut "Tn -f 2,4" ">=" 8
ratio "mawk / (T1 -f 2,4)" mawk "T1 -f 2,4"
ratio "(Tn -f 2,4) / (wc -l, reading floor)" "Tn -f 2,4" "wc -l" "<=" 2
ratio "(T1 -f 2,4) / (wc -l)" "T1 -f 2,4" "wc -l"
for t in 1 n; do
  ratio "(T$t -f 4,2,2) / (T$t -f 2,4)" "T$t -f 4,2,2" "T$t -f 2,4" "<=" 1.10
  ratio "(T$t -t [4]-[2]) / (T$t -f 2,4)" "T$t -t [4]-[2]" "T$t -f 2,4" "<=" 1.5
done
ratio "T1, output to /dev/null: 4,2,2 / 2,4" "T1 -f 4,2,2 null" "T1 -f 2,4 null"
echo

# Peak resident memory and wall time of one run, from GNU time. Only kolvane-rip's
# rows are held to the target; cut's and mawk's show what a streaming filter needs.
peak() {  # label check|- output-or-"" command...
  local label="$1" check="$2" dest="$3"
  shift 3
  if [ -n "$dest" ]; then
    /usr/bin/time -v -o "$results/time.txt" "$@" >"$dest"
  else
    /usr/bin/time -v -o "$results/time.txt" "$@"
  fi
  awk -v l="$label" -v check="$check" -F': ' '
    /Maximum resident set size/ { kb = $2 }
    /Elapsed \(wall clock\)/    { n = split($2, t, ":"); wall = 0; for (i = 1; i <= n; i++) wall = wall * 60 + t[i] }
    END {
      verdict = check != "check" ? "" : kb < 65536 ? "ok" : "MISSED"
      printf "  %-36s %7.1f MiB %8.2f s   %s\n", l, kb / 1024, wall, verdict
    }
  ' "$results/time.txt"
}
echo "Peak resident memory and wall time of one run (target for kolvane-rip: < 64 MiB)"
rm -f "$out/mem.txt"
peak "ref, Tn -f 2,4 -a FILE" check "" "$rip" -f 2,4 -a "$out/mem.txt" "$ref"
peak "ref, Tn -f 2,4 > stdout" check "$out/mem.txt" "$rip" -f 2,4 "$ref"
peak "ref, Tn -t [4]-[2] > stdout" check "$out/mem.txt" "$rip" -t '[4]-[2]' "$ref"
peak "ref, T1 -f 2,4 > stdout" check "$out/mem.txt" "$rip" --threads 1 -f 2,4 "$ref"
peak "ref, cut" - "$out/mem.txt" cut -d'|' -f2,4 --output-delimiter=: "$ref"
# shellcheck disable=SC2016  # the awk program's $2 and $4 are awk's
peak "ref, mawk" - "$out/mem.txt" mawk -F'|' -v OFS=: '{print $2,$4}' "$ref"
if [ -z "${KOLVANE_BENCH_SKIP_1G:-}" ]; then
  generate gen_reference "$big" "$big_lines" >/dev/null
  label="$(($(stat -c %s "$big") / 1000000)) MB"
  rm -f "$out/mem.txt"
  peak "$label, Tn -f 2,4 -a FILE" check "" "$rip" -f 2,4 -a "$out/mem.txt" "$big"
  peak "$label, Tn -f 2,4 > stdout" check "$out/mem.txt" "$rip" -f 2,4 "$big"
  peak "$label, Tn -t [4]-[2] > stdout" check "$out/mem.txt" "$rip" -t '[4]-[2]' "$big"
  peak "$label, T1 -f 2,4 > stdout" check "$out/mem.txt" "$rip" --threads 1 -f 2,4 "$big"
fi
rm -f "$out/mem.txt"
echo
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
