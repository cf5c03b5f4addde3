#!/usr/bin/env bash
# Builds the Debian package from the build folder, unpacks it into a scratch
# root and checks what it installs and what it depends on.
#   check_deb.sh BUILD_DIR
set -euo pipefail
build="$(cd "$1" && pwd)"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

(cd "$scratch" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >/dev/null)
debs=("$scratch"/out/kolvane_*_amd64.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "no kolvane_<version>_amd64.deb made"; exit 1; }
deb="${debs[0]}"
root="$scratch/root"
dpkg-deb -x "$deb" "$root"

status=0
expect=(
  usr/bin/kolvane
  usr/bin/kolvane-rip
  usr/share/applications/org.kolvane.Kolvane.desktop
  usr/share/metainfo/org.kolvane.Kolvane.metainfo.xml
  usr/share/icons/hicolor/scalable/apps/org.kolvane.Kolvane.svg
  usr/share/man/man1/kolvane-rip.1.gz
  usr/share/doc/kolvane/copyright
  usr/share/doc/kolvane/changelog.gz
)
for f in "${expect[@]}"; do
  [ -s "$root/$f" ] || { echo "missing from the package: $f"; status=1; }
done
for f in usr/bin/kolvane usr/bin/kolvane-rip; do
  [ -x "$root/$f" ] || { echo "not executable: $f"; status=1; }
done
# Nothing outside /usr, and nothing of the build machine's paths.
outside="$(cd "$root" && find . -mindepth 1 -maxdepth 1 ! -name usr)"
[ -z "$outside" ] || { echo "outside /usr: $outside"; status=1; }

# The dependencies come from the binaries: Qt and the decompression libraries.
depends="$(dpkg-deb -f "$deb" Depends)"
for lib in libqt6widgets6 libzstd1 liblzma5 libbz2-1.0; do
  grep -q "$lib" <<<"$depends" || { echo "Depends lacks $lib: $depends"; status=1; }
done
[ -n "$(dpkg-deb -f "$deb" Maintainer)" ] || { echo "no maintainer"; status=1; }
gzip -dc "$root/usr/share/doc/kolvane/changelog.gz" | head -1 |
  grep -q "^kolvane ($(dpkg-deb -f "$deb" Version)) " || { echo "changelog is not this version's"; status=1; }
"$root/usr/bin/kolvane-rip" --version | grep -q '^kolvane-rip ' || { echo "packaged kolvane-rip does not run"; status=1; }
exit $status
