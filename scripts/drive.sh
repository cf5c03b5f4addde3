#!/usr/bin/env bash
# Drives the real window on a virtual X server through a whole use, with the
# keyboard only, and checks what it wrote:
#   loadButton opens the open dialog (screenshot), the sample's path is typed
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

mkdir -p "$outdir"

# shellcheck source=scripts/xsession.sh
source scripts/xsession.sh
kolvane="$(realpath "$build/window/kolvane")"
fail() {
  echo "drive.sh: $*" >&2
  exit 1
}

saved="$work/picked.txt"
printf '%s\r\n' \
  'anna.berg@example.org:Lyon' \
  'jonas.meyer@example.org:Graz' \
  'li.wei@example.org:Porto' \
  'sara.costa@example.org:Ghent' \
  'omar.haddad@example.org:Turku' >"$work/expected.txt"

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

# The focus starts in sourcePathEdit; Tab leads to loadButton.
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

# The focus is back on loadButton. Tab order from there: ripButton, resultList, saveButton,
# splitEdit, joinEdit, fieldsEdit, skipEmptyCheck, previewLine, nextLineButton.
xdotool key --delay 50 Tab Tab Tab Tab Tab Tab
xdotool type --delay 10 "2,4"
xdotool key --delay 50 Tab Tab Tab space
# Back from nextLineButton to ripButton, and "Rip".
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
