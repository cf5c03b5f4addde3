# Shared by screenshot.sh and drive.sh (sourced, not run): installs what a real
# window under Xvfb needs, builds $build/window/kolvane when it is missing,
# makes a scratch folder with a small sample file, and starts a virtual X
# server whose display it exports. Everything started is ended on exit.
#
# Expects: $build. Provides: $work, $sample, $pids, DISPLAY.

bash scripts/deps.sh --screenshot
if [ ! -x "$build/window/kolvane" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" -j2 --target kolvane >/dev/null
fi

work="$(mktemp -d)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

sample="$work/sample.txt"
printf '%s\r\n' \
  '1001|anna.berg@example.org|3|Lyon|2024-05-02' \
  '1002|jonas.meyer@example.org|1|Graz|2024-05-03' \
  '1003|li.wei@example.org|12|Porto|2024-05-03' \
  '' \
  '1004|sara.costa@example.org|7|Ghent|2024-05-06' \
  '1005|omar.haddad@example.org|2|Turku|2024-05-07' >"$sample"

# -displayfd picks a free display number and tells it once the server is up.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -1 "$work/display")"
