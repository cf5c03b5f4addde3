#!/usr/bin/env bash
# Peak memory of kolvane-rip on long lines, against the longest line: two
# lines of 256 MiB ripped whole (-f 1), and one line of 128 M one-byte fields
# ripped to its end (-f 1-) and by a template naming a field far past it, on
# one thread and on every core. The promise is about twice the longest line.
#
#   bash bench/longlines.sh        (needs a Release build in build/; about 1 GB of disk)
set -euo pipefail
cd "$(dirname "$0")/.."
rip=build/cli/kolvane-rip
data=bench/data/long
mkdir -p "$data"
if [ ! -f "$data/two.txt" ]; then
  python3 - "$data" <<'PY'
import sys
d = sys.argv[1]
with open(d + "/two.txt", "wb") as f:
    for _ in range(2):
        f.write(b"x" * (256 << 20) + b"|y\n")
with open(d + "/wide.txt", "wb") as f:
    f.write(b"a|" * (128 << 20) + b"\n")
PY
fi
line=$((256 << 20))
echo "peak resident memory against the longest line ($((line >> 20)) MiB), one run each"
for threads in 1 "$(nproc)"; do
  for job in "two.txt -f 1" "wide.txt -f 1-" "wide.txt -t [999999999]"; do
    set -- $job
    file=$1
    shift
    /usr/bin/time -f "%M" -o "$data/rss" "$rip" --threads "$threads" "$@" "$data/$file" >/dev/null
    kb=$(cat "$data/rss")
    awk -v kb="$kb" -v line="$line" -v job="$job" -v t="$threads" \
      'BEGIN { printf "  --threads %-2s %-24s %7.0f MiB  %.2fx the line\n", t, job, kb / 1024, kb * 1024 / line }'
  done
done
