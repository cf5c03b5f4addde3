#!/usr/bin/env bash
# Speed and memory of kolvane-rip on the reference job, side by side with GNU cut
# and mawk doing the same job. Run it from anywhere, on an otherwise idle machine:
#
#   bash bench/run.sh
#
# It installs what is missing (hyperfine, mawk, GNU time: scripts/deps.sh --bench),
# makes a Release build in build-bench/, writes the reference data to bench/data/
# unless it is there (2,000,000 lines, 196 MB, the same bytes on every machine),
# times every job with hyperfine in one go (each writing its output to a file),
# and prints mean times, the ratios against their targets and the peak resident
# memory of rips on the reference file and on a 1 GiB file. About two minutes on a
# 2-core machine.
#
#   KOLVANE_BENCH_SKIP_1G=1   skip the 1 GiB part (saves time and 1.5 GB of disk)
#   KOLVANE_BENCH_RUNS=N      timed runs per command (default 10)
#   KOLVANE_BENCH_BUILD=DIR   build directory (default build-bench)
#
# Hyperfine's JSON, the outputs and a copy of the summary stay in bench/data/results/.
# The hot loop's pieces are timed by build-bench/bench/micro_hotloop (Google Benchmark).
set -euo pipefail
cd "$(dirname "$0")/.."

runs="${KOLVANE_BENCH_RUNS:-10}"
build="${KOLVANE_BENCH_BUILD:-build-bench}"
data=bench/data
results="$data/results"
out="$results/out"
ref="$data/ref.txt"
ref_lines=2000000
big="$data/ref-1g.txt"
big_lines=11000000

if ! command -v hyperfine >/dev/null || ! command -v mawk >/dev/null || [ ! -x /usr/bin/time ]; then
  bash scripts/deps.sh --bench
fi

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DKOLVANE_GUI=OFF -DKOLVANE_TESTS=OFF \
  -DKOLVANE_BENCH=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target kolvane-rip gen_reference >/dev/null
rip="$build/cli/kolvane-rip"

# The line count is kept beside the data, so a file from another count is redone.
generate() {  # file lines
  if [ ! -f "$1" ] || [ "$(cat "$1.lines" 2>/dev/null)" != "$2" ]; then
    "$build/bench/gen_reference" "$1" "$2"
    echo "$2" >"$1.lines"
  fi
}

mkdir -p "$out"
generate "$ref" "$ref_lines"
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
job() {  # name output-file command
  local file
  file="$(q "$out/$2")"
  args+=(-n "$1" --prepare "rm -f $file")
  cmds+=("${3//\{out\}/$file}")
}
r="$(q "$rip")"
s="$(q "$ref")"
job "kolvane -f 2,4" kolvane-f2,4.txt "$r -f 2,4 -a {out} $s"
job "kolvane -f 4,2,2" kolvane-f4,2,2.txt "$r -f 4,2,2 -a {out} $s"
job "kolvane -t [4]-[2]" kolvane-t.txt "$r -t '[4]-[2]' -a {out} $s"
job "cut" cut.txt "cut -d'|' -f2,4 --output-delimiter=: $s > {out}"
job "mawk" mawk.txt "mawk -F'|' -v OFS=: '{print \$2,\$4}' $s > {out}"
job "wc -l" wc.txt "wc -l $s > {out}"

echo "Timing ${#cmds[@]} jobs, $runs runs each after a warm-up..."
hyperfine --style basic --warmup 1 --runs "$runs" --export-json "$results/speed.json" \
  "${args[@]}" "${cmds[@]}" >"$results/hyperfine.txt" 2>&1
if grep -q 'outliers' "$results/hyperfine.txt"; then
  echo "  (hyperfine saw outliers: something else was busy; figures are less sure, re-run when idle)"
fi

# Same work for everyone: the reference job's output equals cut's and mawk's
# (kolvane-rip ends lines in CR LF by default), and every job wrote every line.
tr -d '\r' <"$out/kolvane-f2,4.txt" | cmp -s - "$out/cut.txt" || { echo "kolvane -f 2,4 differs from cut"; exit 1; }
cmp -s "$out/cut.txt" "$out/mawk.txt" || { echo "mawk differs from cut"; exit 1; }
for f in kolvane-f4,2,2 kolvane-t; do
  n=$(wc -l <"$out/$f.txt")
  [ "$n" -eq "$ref_lines" ] || { echo "$f wrote $n lines, not $ref_lines"; exit 1; }
done

# Mean and standard deviation per job, in the order run.
means=$(awk '
  /"command":/ { sub(/^[^:]*: *"/, ""); sub(/",? *$/, ""); name = $0 }
  /"mean":/    { gsub(/[ ,]/, "", $2); mean = $2 }
  /"stddev":/  { gsub(/[ ,]/, "", $2); print name "|" mean "|" $2 }
' "$results/speed.json")
mean_of() { printf '%s\n' "$means" | awk -F'|' -v n="$1" '$1 == n { print $2 }'; }

echo "Time per job (hyperfine, $runs runs after 1 warm-up, output to a file)"
printf '%s\n' "$means" | awk -F'|' -v bytes="$ref_bytes" '
  BEGIN { printf "  %-20s %10s %10s %10s\n", "job", "mean s", "stddev s", "MB/s" }
  { printf "  %-20s %10.4f %10.4f %10.0f\n", $1, $2, $3, bytes / $2 / 1e6 }'
echo

f24=$(mean_of "kolvane -f 2,4")
ratio() {  # label numerator denominator comparison target
  awk -v l="$1" -v a="$2" -v b="$3" -v op="$4" -v t="$5" 'BEGIN {
    r = a / b
    ok = (op == ">=" ? r >= t : r <= t)
    printf "  %-28s %7.2f   target %s %-5s %s\n", l, r, op, t, ok ? "ok" : "MISSED"
  }'
}
echo "Ratios of mean times"
ratio "cut / (-f 2,4)" "$(mean_of cut)" "$f24" ">=" 3
ratio "mawk / (-f 2,4)" "$(mean_of mawk)" "$f24" ">=" 4
ratio "(-f 4,2,2) / (-f 2,4)" "$(mean_of "kolvane -f 4,2,2")" "$f24" "<=" 1.10
ratio "(-t [4]-[2]) / (-f 2,4)" "$(mean_of "kolvane -t [4]-[2]")" "$f24" "<=" 1.5
awk -v a="$f24" -v b="$(mean_of "wc -l")" \
  'BEGIN { printf "  %-28s %7.2f   (wc -l: this machine'"'"'s scanning floor)\n", "(-f 2,4) / (wc -l)", a / b }'
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
      verdict = check != "check" ? "" : kb < 32768 ? "ok" : "MISSED"
      printf "  %-36s %7.1f MiB %8.2f s   %s\n", l, kb / 1024, wall, verdict
    }
  ' "$results/time.txt"
}
echo "Peak resident memory and wall time of one run (target for kolvane-rip: < 32 MiB)"
rm -f "$out/mem.txt"
peak "ref, kolvane -f 2,4 -a FILE" check "" "$rip" -f 2,4 -a "$out/mem.txt" "$ref"
peak "ref, kolvane -f 2,4 > stdout" check "$out/mem.txt" "$rip" -f 2,4 "$ref"
peak "ref, kolvane -t [4]-[2] > stdout" check "$out/mem.txt" "$rip" -t '[4]-[2]' "$ref"
peak "ref, cut" - "$out/mem.txt" cut -d'|' -f2,4 --output-delimiter=: "$ref"
# shellcheck disable=SC2016  # the awk program's $2 and $4 are awk's
peak "ref, mawk" - "$out/mem.txt" mawk -F'|' -v OFS=: '{print $2,$4}' "$ref"
if [ -z "${KOLVANE_BENCH_SKIP_1G:-}" ]; then
  generate "$big" "$big_lines" >/dev/null
  label="$(($(stat -c %s "$big") / 1000000)) MB"
  rm -f "$out/mem.txt"
  peak "$label, kolvane -f 2,4 -a FILE" check "" "$rip" -f 2,4 -a "$out/mem.txt" "$big"
  peak "$label, kolvane -f 2,4 > stdout" check "$out/mem.txt" "$rip" -f 2,4 "$big"
  peak "$label, kolvane -t [4]-[2] > stdout" check "$out/mem.txt" "$rip" -t '[4]-[2]' "$big"
fi
rm -f "$out/mem.txt"
echo
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
