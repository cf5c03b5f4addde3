#!/usr/bin/env bash
# Checks kolvane-rip's --part against real schedulers: a single-node Slurm
# (munged, slurmctld and slurmd as root) runs a job array whose tasks each rip
# one part into their own file, and GNU parallel runs the parts on this
# machine and through a second sshd on localhost. Each output, its parts
# concatenated in order, must equal one run's, byte for byte. Everything lives in a scratch folder under /tmp,
# on ports nothing else listens on, and is taken down on exit, failure or
# Ctrl+C; the machine's own sshd, ~/.ssh and /etc/slurm are never used.
#
#   bash scripts/cluster-check.sh [KOLVANE_RIP]   (default build/cli/kolvane-rip)
#
# CHECK_PARTS (default 8) sets N, CHECK_ROWS (default 30000) the records.
# KOLVANE_CHECK_STANDIN=1 checks only this script's machinery, for as long as
# kolvane-rip has no --part: each part is then a line range (split -n l/K/N)
# ripped as plain lines, so it proves the schedulers, the ordering and the
# comparison, and nothing about kolvane-rip's own parts.
set -euo pipefail

# The rip under test, with the options every run shares: a quoted CSV with
# a header, a '\t' join and a field name holding a comma and a space.
# shellcheck disable=SC2317  # called by Slurm's tasks and parallel's jobs
rip() {
  if [ "${KOLVANE_CHECK_STANDIN:-0}" = 1 ]; then
    "$KOLVANE_RIP" -s , -j '\t' -f 1- "$@"
  else
    "$KOLVANE_RIP" --csv -H -j '\t' -f 'id,"note, long",city' "$@"
  fi
}
# Part K of N on standard output, and the single run the parts add up to.
# shellcheck disable=SC2317
rip_part() {
  if [ "${KOLVANE_CHECK_STANDIN:-0}" = 1 ]; then
    split -n "l/$1/$2" -- "$CHECK_SOURCE" | rip
  else
    rip --part "$1/$2" -- "$CHECK_SOURCE"
  fi
}
rip_whole() { rip -- "$CHECK_SOURCE"; }

here="$(cd "$(dirname "$0")" && pwd)"
KOLVANE_RIP="$(realpath "${1:-$here/../build/cli/kolvane-rip}")"
parts="${CHECK_PARTS:-8}"
rows="${CHECK_ROWS:-30000}"
[ -x "$KOLVANE_RIP" ] || { echo "cluster-check: no kolvane-rip at $KOLVANE_RIP (build it first)" >&2; exit 2; }
# shellcheck source=cluster/daemons.sh
. "$here/cluster/daemons.sh"

started=$(date +%s.%N)
since() { awk -v a="$1" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f s", b - a }'; }
report=()
failed=0
# Compares a run's output with the single run's and records the verdict.
verdict() { # NAME FILE SECONDS [EXPECTED]
  if cmp -s "${4:-$scratch/whole.txt}" "$2"; then
    report+=("$(printf '%-28s PASS  %s' "$1" "$3")")
  else
    report+=("$(printf '%-28s FAIL  %s (%s)' "$1" "$3" "$(cmp "${4:-$scratch/whole.txt}" "$2" 2>&1 | head -1)")")
    failed=1
  fi
}

install_missing
scratch="$(mktemp -d /tmp/kolvane-cluster.XXXXXX)"
exec 3>&1 4>&2
trap 'teardown' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
mkdir -p "$scratch/shared data"
CHECK_SOURCE="$scratch/shared data/export.csv"
awk -v rows="$rows" -f "$here/cluster/make-csv.awk" >"$CHECK_SOURCE"
export KOLVANE_RIP CHECK_SOURCE KOLVANE_CHECK_STANDIN="${KOLVANE_CHECK_STANDIN:-0}"
export -f rip rip_part
t=$(date +%s.%N)
rip_whole >"$scratch/whole.txt"
whole_time="$(since "$t")"
# A rip that cannot run at all says so once, before any daemon starts.
if ! rip_part 1 1 >/dev/null; then
  echo "cluster-check: part 1/1 does not rip (above); KOLVANE_CHECK_STANDIN=1 checks the machinery alone" >&2
  exit 2
fi

t=$(date +%s.%N)
start_munge
# The README's job array asks 4 CPUs a task, for 8 tasks at once.
start_slurm "$((parts > 32 ? parts : 32))"
start_sshd
report+=("$(printf '%-28s %s' "daemons up" "$(since "$t")")")

# (a) A job array: task K rips part K into its own file; the files are
# concatenated in the tasks' order. The tasks get rip_part and what it reads
# from this shell's environment (sbatch's default --export=ALL).
t=$(date +%s.%N)
cat >"$scratch/part.sbatch" <<'EOF'
#!/bin/bash
rip_part "$SLURM_ARRAY_TASK_ID" "$CHECK_PART_COUNT" >"$CHECK_OUT/part-$SLURM_ARRAY_TASK_ID.txt"
EOF
mkdir -p "$scratch/slurm-out"
if CHECK_PART_COUNT="$parts" CHECK_OUT="$scratch/slurm-out" step sbatch --quiet --wait --array="1-$parts" --chdir="$scratch" \
    --output="$scratch/slurm-%A_%a.log" "$scratch/part.sbatch" >"$scratch/sbatch.log" 2>&1; then
  # A missing part shows as a difference, not as the end of the check.
  for k in $(seq "$parts"); do cat "$scratch/slurm-out/part-$k.txt" || true; done >"$scratch/slurm.txt"
else
  cat "$scratch/sbatch.log" >&2
  for log in "$scratch"/slurm-*.log; do [ -s "$log" ] && { cat "$log" >&2; break; }; done
  : >"$scratch/slurm.txt"
fi
verdict "slurm array 1-$parts" "$scratch/slurm.txt" "$(since "$t")"

# (b) GNU parallel, on this machine and over ssh: -k keeps the parts' order on
# standard output, -q hands each word to the (remote) shell as it is, --env
# carries the rip and what it reads to the remote side. All parts run at
# once, and part K waits 0.3 s for each part after it, more than ssh logins
# made together differ by here: later parts finish first, so the order in the
# output is -k's doing, not luck's.
# shellcheck disable=SC2317
late_part() {
  sleep "$((3 * ($2 - $1)))e-1"
  rip_part "$1" "$2"
}
export -f late_part
t=$(date +%s.%N)
step parallel -k -q -j "$parts" late_part {} "$parts" ::: $(seq "$parts") >"$scratch/local.txt" 2>"$scratch/local.log" ||
  cat "$scratch/local.log" >&2
verdict "parallel on this machine" "$scratch/local.txt" "$(since "$t")"

t=$(date +%s.%N)
ssh_parallel=(parallel -k -q -j "$parts" --ssh "ssh -F $ssh_config" -S check-node)
step "${ssh_parallel[@]}" --env late_part --env rip_part --env rip --env KOLVANE_RIP \
  --env CHECK_SOURCE --env KOLVANE_CHECK_STANDIN --env KOLVANE_CHECK_RUN \
  late_part {} "$parts" ::: $(seq "$parts") >"$scratch/remote.txt" 2>"$scratch/remote.log" ||
  cat "$scratch/remote.log" >&2
verdict "parallel -S over ssh" "$scratch/remote.txt" "$(since "$t")"

# The words a rip's options are made of reach the remote command unchanged
# with -q; without it the remote shell reads them again ('\t' becomes t).
t=$(date +%s.%N)
# shellcheck disable=SC2016  # '$HOME' must reach the remote side unexpanded.
words=(-s '\t' -f 'id,"note, long"' '$HOME' 'a  b')
for k in 1 2; do printf '<%s>\n' "${words[@]}" "$k"; done >"$scratch/words-local.txt"
step "${ssh_parallel[@]}" printf '<%s>\n' "${words[@]}" {} ::: 1 2 >"$scratch/words-remote.txt" 2>&1 || true
if cmp -s "$scratch/words-local.txt" "$scratch/words-remote.txt"; then w=PASS; else w=FAIL failed=1; fi
report+=("$(printf '%-28s %s  %s' "parallel -q words over ssh" "$w" "$(since "$t")")")

# (c) The README's recipes, word for word: kolvane-rip is found on PATH, the
# export has an email column and lies in the current folder, and host1 and
# host2 are the sshd above. GNU parallel takes its ssh command and PATH from
# its environment, so the command lines are the README's own.
if [ "$KOLVANE_CHECK_STANDIN" != 1 ]; then
  mkdir -p "$scratch/bin" "$scratch/recipes/exports"
  ln -s "$KOLVANE_RIP" "$scratch/bin/kolvane-rip"
  export PATH="$scratch/bin:$PATH" PARALLEL_SSH="ssh -F $ssh_config" PARALLEL="--env PATH"
  cd "$scratch/recipes"
  sed '1s/^id,/email,/' "$CHECK_SOURCE" >big.csv
  kolvane-rip --csv -H -f email,name big.csv >one-run.csv
  t=$(date +%s.%N)
  step parallel -k -q kolvane-rip --threads 1 --part {}/8 --csv -H -f email,name big.csv ::: $(seq 8) > out.csv
  verdict "README: parallel" out.csv "$(since "$t")" one-run.csv
  t=$(date +%s.%N)
  rm -f part-1.csv part-2.csv
  step parallel -q kolvane-rip --threads 1 --part {}/2 --csv -H -f email,name -a part-{}.csv big.csv ::: 1 2
  cat part-1.csv part-2.csv >out.csv
  verdict "README: parallel, part files" out.csv "$(since "$t")" one-run.csv
  t=$(date +%s.%N)
  step parallel -k -q -S 2/:,8/host1,8/host2 --wd . kolvane-rip --threads 1 --part {}/18 \
    --csv -H -f email,name big.csv ::: $(seq 18) > out.csv
  verdict "README: parallel -S" out.csv "$(since "$t")" one-run.csv
  t=$(date +%s.%N)
  cat >rip.sbatch <<'EOF'
#!/bin/bash
#SBATCH --array=1-8
#SBATCH --cpus-per-task=4
#SBATCH --output=rip-%a.log
kolvane-rip --threads "$SLURM_CPUS_PER_TASK" --part "$SLURM_ARRAY_TASK_ID/8" \
  --csv -H -f email,name big.csv > "part-$SLURM_ARRAY_TASK_ID.csv"
EOF
  { step sbatch --wait rip.sbatch && cat part-{1..8}.csv > out.csv; } >sbatch.log 2>&1 || : >out.csv
  verdict "README: sbatch --array" out.csv "$(since "$t")" one-run.csv
  # Compressed files with a header each, one with its columns in another order.
  for k in 1 2 3; do
    { head -n 1 big.csv; kolvane-rip --csv --skip-header -f 1- --part "$k/3" big.csv; } | gzip >"exports/x$k.csv.gz"
  done
  kolvane-rip --csv -H -j , -f city,name,email big.csv | gzip >exports/y.csv.gz
  for f in exports/*.csv.gz; do kolvane-rip --skip-header --csv -f email,name "$f"; done >one-run.csv
  t=$(date +%s.%N)
  step parallel -k -q kolvane-rip --threads 1 --skip-header --csv -f email,name ::: exports/*.csv.gz > out.csv
  verdict "README: one job per file" out.csv "$(since "$t")" one-run.csv
  cd - >/dev/null
fi

echo "kolvane-rip --part check: $rows records, $(stat -c %s "$CHECK_SOURCE") bytes, $parts parts"
[ "$KOLVANE_CHECK_STANDIN" = 1 ] && echo "STAND-IN: line ranges ripped plain; checks the machinery only, not --part"
printf '%-28s %s\n' "one run" "$whole_time"
printf '%s\n' "${report[@]}"
printf '%-28s %s\n' "checks done" "$(since "$started")"
reported=1
exit "$failed"
