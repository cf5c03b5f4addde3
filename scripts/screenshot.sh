#!/usr/bin/env bash
# Starts the window on a virtual X server and writes a PNG of it:
#
#   bash scripts/screenshot.sh [--progress | --tooltip] [OUTPUT.png]
#
#   (no option)  a sample file's path and the field list "2,4" typed in, "Rip"
#                pressed: the window after the rip (default build/kolvane-window.png)
#   --progress   `kolvane FILE` with a generated file of about 1 GB, "2,4" typed
#                and F5 pressed: the window mid-rip, with the progress bar under
#                the list (default build/kolvane-progress.png)
#   --tooltip    `kolvane FILE` with the sample, "2,4" typed, the mouse resting
#                on the preview line: the screen with its field tooltip
#                (default build/kolvane-tooltip.png)
#
# Installs what is missing (Xvfb, xdotool, ImageMagick: scripts/deps.sh
# --screenshot) and builds $KOLVANE_BUILD/window/kolvane (default build/) when
# it is not there, and for --progress bench/gen_reference.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=window
case "${1:-}" in
  --progress | --tooltip)
    mode="${1#--}"
    shift
    ;;
esac
out="$(realpath -m "${1:-build/kolvane-$mode.png}")"
build="${KOLVANE_BUILD:-build}"

if [ "$mode" = progress ] && [ ! -x "$build/bench/gen_reference" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" -j2 --target gen_reference >/dev/null
fi
mkdir -p "$(dirname "$out")"

# shellcheck source=scripts/xsession.sh
source scripts/xsession.sh



# Waits for the window, gives it the focus, and prints its id.
started() {
  local id
  id="$(xdotool search --sync --onlyvisible --name '^Kolvane$' | head -1)"
  xdotool windowfocus --sync "$id"
  sleep 0.5
  echo "$id"
}

case "$mode" in
  window)
    QT_QPA_PLATFORM=xcb "$build/window/kolvane" 2>/dev/null &
    pids+=($!)
    wid="$(started)"
    # The focus starts in sourcePathEdit; the tab order leads from there to fieldsEdit,
    # and back from fieldsEdit to "Rip".
    xdotool type --delay 10 "$sample"
    xdotool key --delay 30 Tab Tab Tab Tab Tab Tab Tab
    xdotool type --delay 10 "2,4"
    xdotool key --delay 30 shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab space
    sleep 1
    import -window "$wid" "$out"
    ;;
  progress)
    # About 1 GB: a rip of it into the list runs for a second or two, long
    # enough to catch it in the middle.
    big="$work/big.txt"
    "$build/bench/gen_reference" "$big" 10000000 >/dev/null
    QT_QPA_PLATFORM=xcb "$build/window/kolvane" "$big" 2>/dev/null &
    pids+=($!)
    wid="$(started)"
    xdotool key --delay 30 Tab Tab Tab Tab Tab Tab Tab
    xdotool type --delay 10 "2,4"
    xdotool key F5
    sleep 0.4
    import -window "$wid" "$out"
    ;;
  tooltip)
    QT_QPA_PLATFORM=xcb "$build/window/kolvane" "$sample" 2>/dev/null &
    pids+=($!)
    wid="$(started)"
    xdotool key --delay 30 Tab Tab Tab Tab Tab Tab Tab
    xdotool type --delay 10 "2,4"
    # previewLine, the preview line, runs across the window under the settings.
    xdotool mousemove --window "$wid" 300 150
    sleep 0.2
    xdotool mousemove --window "$wid" 305 151
    sleep 1.5
    # The tooltip is a window of its own and may reach past the main one.
    import -window root "$out"
    ;;
esac
echo "$out"
