# Sourced by the benchmark scripts: hyperfine's JSON as one line a job, and
# one figure of one job from it.

# name|mean|stddev|median|min|user+system per job of hyperfine's JSON file $1,
# in the order run.
hyperfine_stats() {
  awk '
    function num() { v = $2; gsub(/[ ,]/, "", v); return v }
    /"command":/ { sub(/^[^:]*: *"/, ""); sub(/",? *$/, ""); name = $0 }
    /"mean":/    { mean = num() }
    /"stddev":/  { sd = num() }
    /"median":/  { med = num() }
    /"user":/    { user = num() }
    /"system":/  { sys = num() }
    /"min":/     { min = num() }
    /"max":/     { print name "|" mean "|" sd "|" med "|" min "|" user + sys }
  ' "$1"
}

# One figure of a job from $stats: job column (2 mean, 4 median, 5 min, 6 cpu).
stat_of() {
  printf '%s\n' "$stats" | awk -F'|' -v n="$1" -v c="$2" '$1 == n { print $c }'
}
