# What the benchmark scripts share, sourced from the repository's top: where
# the build, the data and the results go, building the tools, and making the
# data files they time. Also the summary of hyperfine's figures.
source bench/hyperfine_stats.sh

build="${KOLVANE_BENCH_BUILD:-build-bench}"
data=bench/data
results="$data/results"
ref="$data/ref.txt"
ref_lines=2000000

# Builds kolvane-rip and the generators named, optimised; sets `rip`.
build_tools() {
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DKOLVANE_GUI=OFF -DKOLVANE_TESTS=OFF \
    -DKOLVANE_BENCH=ON >/dev/null
  cmake --build "$build" -j"$(nproc)" --target kolvane-rip "$@" >/dev/null
  rip="$build/cli/kolvane-rip"
}

# Makes FILE of COUNT lines or records with GENERATOR (given ARGS first),
# unless FILE already holds that many (FILE.lines says).
generate() {  # generator file count [args...]
  local generator="$1" file="$2" count="$3"
  shift 3
  if [ ! -f "$file" ] || [ "$(cat "$file.lines" 2>/dev/null)" != "$count" ]; then
    "$build/bench/$generator" "$@" "$file" "$count"
    echo "$count" >"$file.lines"
  fi
}
