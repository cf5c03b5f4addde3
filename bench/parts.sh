#!/usr/bin/env bash
# --part on this machine: what each part of a file reads, and the time of N
# parts run by GNU parallel (--threads 1 each, as many at once as there are
# cores) side by side with one run on every core. The file is the quoted
# benchmark's export (2,000,000 records, about 230 MB, a value with line
# ends in every few records); the worst case is the plain reference file
# read in quoted mode, which holds no quote, so a part's edge is learnt
# only from the file's start. Beside them, GNU parallel's byte blocks piped
# into kolvane-rip, on the plain reference file (the quoted export would be
# cut inside its values). Run it from anywhere, on an idle machine:
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

# The times: the export ten times over (2.4 GB), so that GNU parallel's own
# start (half a second here) does not hide the parts'. GNU parallel keeps each
# part's output in a file of its own until its turn (-k): that costs too,
# and the parts run from a shell, each into a file, show the parts' share;
# GNU parallel running nothing shows what its start costs.
big="$data/quoted-10.csv"
[ -f "$big" ] && [ "$(stat -c %s "$big")" = "$(($(stat -c %s "$csv") * 10))" ] ||
  for _ in $(seq 10); do cat "$csv"; done >"$big"
q() { printf '%q' "$1"; }
r="$(q "$rip")"
c="$(q "$big")"
json="$results/parts.json"
cores=$(nproc)
opts="--threads 1 --csv -H -f email,name"
shell_parts=""
for k in $(seq "$cores"); do shell_parts+="$r $opts --part $k/$cores $c >$results/part-$k & "; done
hyperfine -N --warmup 1 --runs "$runs" --export-json "$json" --output=null \
  -n "one run" "$r --csv -H -f email,name $c" \
  -n "$cores parts, GNU parallel" "parallel -k -q $r $opts --part {}/$cores $c ::: $(seq -s ' ' "$cores")" \
  -n "8 parts, GNU parallel" "parallel -k -q $r $opts --part {}/8 $c ::: $(seq -s ' ' 8)" \
  -n "$cores parts, shell" "bash -c '$shell_parts wait; cat $results/part-*'" \
  -n "GNU parallel alone" "parallel -k true ::: $(seq -s ' ' "$cores")" \
  -n "one plain run" "$r -f 2,4 $(q "$ref")" \
  -n "byte blocks, plain" "parallel --pipepart -a $(q "$ref") --block 30M -k $r --threads 1 -f 2,4" \
  >/dev/null
stats="$(hyperfine_stats "$json")"
# Each job against the one run on the same file.
printf '%-24s %9s %8s\n' job "mean s" "x one run"
while IFS='|' read -r name mean _; do
  case "$name" in *plain*) one=$(stat_of "one plain run" 2) ;; *) one=$(stat_of "one run" 2) ;; esac
  printf '%-24s %9.3f %8.2f\n' "$name" "$mean" "$(awk -v a="$mean" -v b="$one" 'BEGIN { print a / b }')"
done <<<"$stats"
