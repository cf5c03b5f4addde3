#!/usr/bin/env bash
# Peak memory of kolvane-rip on long lines, against the longest line, as
# getrusage gives it for the child (GNU time's %M): two lines of 256 MiB
# ripped whole (-f 1); the middle field of one such line; one line of 128 M
# one-byte fields ripped to its end (-f 1-) and by a template naming a field
# far past it; and in quoted mode a quoted value of 256 MiB (-f 1), and one
# holding the split string, doubled quotes and CR LF between two short fields
# (-f 2, a template of it, and -f 2-). On one thread and on every core. The
# promise is about twice the longest line.
#
#   bash bench/longlines.sh        (needs a Release build in build/; about 2 GB of disk)
set -euo pipefail
cd "$(dirname "$0")/.."
rip=build/cli/kolvane-rip
data=bench/data/long
mkdir -p "$data"
if [ ! -f "$data/mixed.csv" ]; then
  python3 - "$data" <<'PY'
import sys
d, size = sys.argv[1], 256 << 20
with open(d + "/two.txt", "wb") as f:
    for _ in range(2):
        f.write(b"x" * size + b"|y\n")
with open(d + "/middle.txt", "wb") as f:
    f.write(b"id|" + b"x" * size + b"|end\n")
with open(d + "/wide.txt", "wb") as f:
    f.write(b"a|" * (size // 2) + b"\n")
with open(d + "/quoted.csv", "wb") as f:
    f.write(b'"' + b"x" * size + b'"\n')
piece = b'ab,c""d\r\nef'
with open(d + "/mixed.csv", "wb") as f:
    f.write(b'id,"' + piece * (size // len(piece)) + b'",end\n')
PY
fi
line=$((256 << 20))
echo "peak resident memory against the longest line ($((line >> 20)) MiB), one run each"
for threads in 1 "$(nproc)"; do
  for job in "two.txt -f 1" "middle.txt -f 2" "wide.txt -f 1-" "wide.txt -t [999999999]" \
    "quoted.csv --csv -f 1" "mixed.csv --csv -f 2" "mixed.csv --csv -t [2]" \
    "mixed.csv --csv -f 2-"; do
    set -- $job
    file=$1
    shift
    /usr/bin/time -f "%M" -o "$data/rss" "$rip" --threads "$threads" "$@" "$data/$file" >/dev/null
    kb=$(cat "$data/rss")
    awk -v kb="$kb" -v line="$line" -v job="$job" -v t="$threads" \
      'BEGIN { printf "  --threads %-2s %-26s %7.0f MiB  %.2fx the line\n", t, job, kb / 1024, kb * 1024 / line }'
  done
done
