#!/usr/bin/env bash
# Drives the real window on a virtual X server through a whole use, with the
# keyboard only, and checks what it wrote:
#   Loadfile opens the open dialog (screenshot), the sample's path is typed
#   into it; ">>" steps the preview; the field list "2,4" is typed; "Rip";
#   the window is shot again; "Save" opens the save dialog, a new file name
#   is typed into it, and the saved file must hold exactly the expected bytes.
#
#   bash scripts/drive.sh [OUTPUT-DIR]     (default build/)
#
# Writes kolvane-open-dialog.png, kolvane-after-rip.png and
# kolvane-save-dialog.png into OUTPUT-DIR.
# Installs what is missing (Xvfb, xdotool, ImageMagick: scripts/deps.sh
# --screenshot) and builds $KOLVANE_BUILD/window/kolvane (default build/) when
# it is not there. Exit status 1 when a step or the saved file is wrong.
set -euo pipefail
cd "$(dirname "$0")/.."
outdir="$(realpath -m "${1:-build}")"
build="${KOLVANE_BUILD:-build}"

bash scripts/deps.sh --screenshot
if [ ! -x "$build/window/kolvane" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" -j2 --target kolvane >/dev/null
fi
mkdir -p "$outdir"
kolvane="$(realpath "$build/window/kolvane")"

work="$(mktemp -d)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "drive.sh: $*" >&2
  exit 1
}

sample="$work/sample.txt"
printf '%s\r\n' \
  '1001|anna.berg@example.org|3|Lyon|2024-05-02' \
  '1002|jonas.meyer@example.org|1|Graz|2024-05-03' \
  '1003|li.wei@example.org|12|Porto|2024-05-03' \
  '' \
  '1004|sara.costa@example.org|7|Ghent|2024-05-06' \
  '1005|omar.haddad@example.org|2|Turku|2024-05-07' >"$sample"
saved="$work/picked.txt"
printf '%s\r\n' \
  'anna.berg@example.org:Lyon' \
  'jonas.meyer@example.org:Graz' \
  'li.wei@example.org:Porto' \
  'sara.costa@example.org:Ghent' \
  'omar.haddad@example.org:Turku' >"$work/expected.txt"

# -displayfd picks a free display number and tells it once the server is up.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -1 "$work/display")"

# Started in the scratch folder, so nothing it might write lands in the tree.
(cd "$work" && QT_QPA_PLATFORM=xcb exec "$kolvane") 2>/dev/null &
pids+=($!)
wid="$(xdotool search --sync --onlyvisible --name '^Kolvane$' | head -1)"
xdotool windowfocus --sync "$wid"
sleep 0.5

# Waits for a dialog other than the main window to be shown, and prints its id.
dialog() {
  local id
  for _ in $(seq 100); do
    id="$(xdotool search --onlyvisible --name "$1" 2>/dev/null | grep -vx "$wid" | head -1 || true)"
    if [ -n "$id" ]; then
      echo "$id"
      return
    fi
    sleep 0.1
  done
  import -window root "$outdir/kolvane-failed.png"
  fail "no dialog called $1 appeared (screen in $outdir/kolvane-failed.png)"
}
gone() {
  for _ in $(seq 100); do
    xdotool search --onlyvisible --name "$1" 2>/dev/null | grep -vqx "$wid" || return 0
    sleep 0.1
  done
  fail "the dialog $1 did not close"
}

# The focus starts in Text1; Tab leads to Loadfile.
xdotool key --delay 50 Tab space
open="$(dialog '^Open$')"
xdotool windowfocus --sync "$open"
sleep 0.5
import -window root "$outdir/kolvane-open-dialog.png"
# The dialog's file name box has the focus.
xdotool type --delay 10 "$sample"
xdotool key --delay 50 Return
gone '^Open$'
xdotool windowfocus --sync "$wid"
sleep 0.3

# The focus is back on Loadfile. Tab order from there: Dorip, List1, Saverip,
# SplitChar, FieldSep, RipFields, Check1, Text2, Command1.
xdotool key --delay 50 Tab Tab Tab Tab Tab Tab
xdotool type --delay 10 "2,4"
xdotool key --delay 50 Tab Tab Tab space
# Back from Command1 to Dorip, and "Rip".
xdotool key --delay 50 shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab \
  shift+Tab space
sleep 1
import -window "$wid" "$outdir/kolvane-after-rip.png"

# "Rip" has the focus again after the rip; Tab leads past the list to
# "Save". The save dialog offers the path confirmed last (the sample); the
# name typed replaces it.
xdotool key --delay 50 Tab Tab space
save="$(dialog '^Save As$')"
xdotool windowfocus --sync "$save"
sleep 0.5
import -window root "$outdir/kolvane-save-dialog.png"
xdotool key --delay 50 ctrl+a
xdotool type --delay 10 "$saved"
xdotool key --delay 50 Return
gone '^Save As$'

for _ in $(seq 50); do [ -s "$saved" ] && break; sleep 0.1; done
[ -f "$saved" ] || fail "nothing was saved to $saved"
if ! cmp -s "$saved" "$work/expected.txt"; then
  echo "saved:" >&2
  od -c "$saved" | head -20 >&2
  fail "the saved file is not what the rip should give"
fi
echo "saved file: $(wc -l <"$saved") lines, the expected bytes"
echo "$outdir/kolvane-open-dialog.png"
echo "$outdir/kolvane-after-rip.png"
echo "$outdir/kolvane-save-dialog.png"
