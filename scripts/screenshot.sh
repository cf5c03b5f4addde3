#!/usr/bin/env bash
# Starts the window on a virtual X server, types a sample file's path and the
# field list "2,4" into it, presses "Rip", and writes a PNG of the window:
#
#   bash scripts/screenshot.sh [OUTPUT.png]     (default build/kolvane-window.png)
#
# Installs what is missing (Xvfb, xdotool, ImageMagick: scripts/deps.sh
# --screenshot) and builds build/window/kolvane when it is not there.
set -euo pipefail
cd "$(dirname "$0")/.."
out="$(realpath -m "${1:-build/kolvane-window.png}")"
build="${KOLVANE_BUILD:-build}"

bash scripts/deps.sh --screenshot
if [ ! -x "$build/window/kolvane" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" -j2 --target kolvane >/dev/null
fi
mkdir -p "$(dirname "$out")"

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

QT_QPA_PLATFORM=xcb "$build/window/kolvane" 2>/dev/null &
pids+=($!)
wid="$(xdotool search --sync --onlyvisible --name '^Kolvane$' | head -1)"
xdotool windowfocus --sync "$wid"
sleep 0.5

# The focus starts in Text1; the tab order leads from there to RipFields, and
# back from RipFields to "Rip".
xdotool type --delay 10 "$sample"
xdotool key --delay 30 Tab Tab Tab Tab Tab Tab Tab
xdotool type --delay 10 "2,4"
xdotool key --delay 30 shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab space
sleep 1

import -window "$wid" "$out"
echo "$out"
