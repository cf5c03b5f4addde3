#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks the layout a desktop
# expects, and that the launcher entry and the metainfo pass their validators.
#   check_install.sh BUILD_DIR
set -euo pipefail
build="$1"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null

expect=(
  bin/kolvane
  bin/kolvane-rip
  share/applications/org.kolvane.Kolvane.desktop
  share/metainfo/org.kolvane.Kolvane.metainfo.xml
  share/icons/hicolor/scalable/apps/org.kolvane.Kolvane.svg
  share/man/man1/kolvane-rip.1
)
status=0
for f in "${expect[@]}"; do
  if [ ! -s "$prefix/$f" ]; then
    echo "missing after install: $f"
    status=1
  fi
done
for f in bin/kolvane bin/kolvane-rip; do
  [ -x "$prefix/$f" ] || { echo "not executable: $f"; status=1; }
done

desktop-file-validate "$prefix/share/applications/org.kolvane.Kolvane.desktop" || status=1
appstreamcli validate --no-net "$prefix/share/metainfo/org.kolvane.Kolvane.metainfo.xml" || status=1
grep -q '^Exec=kolvane %f$' "$prefix/share/applications/org.kolvane.Kolvane.desktop" ||
  { echo "the launcher does not start kolvane with the file"; status=1; }
# The man page must render without warnings.
if command -v man >/dev/null; then
  warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$prefix/share/man/man1/kolvane-rip.1" 2>&1 >/dev/null)"
  [ -z "$warnings" ] || { echo "$warnings"; status=1; }
fi
"$prefix/bin/kolvane-rip" --version | grep -q '^kolvane-rip ' || { echo "installed kolvane-rip does not run"; status=1; }
exit $status
