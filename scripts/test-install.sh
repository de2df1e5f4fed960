#!/usr/bin/env bash
# Checks what `cmake --install` and the .deb deliver: the files in place, the desktop entry
# and the metainfo validated, and the installed program run from a scratch root on the demo
# package against the simulated drive (both transports, so the ASPI manager library is
# found from the installed executable). Builds into build/ (or $ZVFIRM_BUILD_DIR) first.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${ZVFIRM_BUILD_DIR:-$top/build}
"$top/scripts/build.sh"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "test-install: FAIL: $*" >&2; exit 1; }
id=org.zvfirm.zvfirm

# Runs the installed program of root $1 on the demo package ($2: configuration lines to add)
# and expects the one drive line $3.
run_installed() {
  local root=$1 extra=$2 expected=$3 package="$scratch/package"
  rm -rf "$package"
  mkdir -p "$package"
  cp "$top/examples/demo/zorvfirm.ini" "$top/examples/demo/demo-drive.sim" "$package/"
  printf '%s' "$extra" >>"$package/zorvfirm.ini"
  "$build/sim/zvfirm-make-image" "$package/ZV314K.BIN"
  "$root/usr/bin/zvfirm" --version | grep -qx "zvfirm [0-9.]*" || fail "--version from $root"
  local listed
  listed=$(cd / && env -i PATH=/usr/bin:/bin LANG=C ZVFIRM_SIMULATE="$package/demo-drive.sim" \
    "$root/usr/bin/zvfirm" --list "$package") || fail "--list from $root (${extra:-pass-through})"
  [ "$listed" = "$expected" ] || fail "--list printed: $listed"
}

check_tree() {
  local root=$1
  for file in usr/bin/zvfirm usr/lib/zvfirm/libzvaspi32.so \
      usr/share/applications/$id.desktop usr/share/metainfo/$id.metainfo.xml \
      usr/share/icons/hicolor/scalable/apps/$id.svg; do
    compgen -G "$root/$file" >/dev/null || fail "$file missing in $root"
  done
  for size in 16 24 32 48 64 128 256; do
    local png=$root/usr/share/icons/hicolor/${size}x${size}/apps/$id.png
    [ -f "$png" ] || fail "$png missing"
    file "$png" | grep -q "PNG image data, $size x $size" || fail "$png is not $size x $size"
  done
  desktop-file-validate "$root/usr/share/applications/$id.desktop" || fail "desktop entry"
  appstreamcli validate --no-net --explain "$root/usr/share/metainfo/$id.metainfo.xml" || fail "metainfo"
}

# The drive as each transport lists it: the ASPI line shows that the installed program
# found the ASPI manager library.
letter_line='0  D:\ [ZORVANT DVDR   ZV-314K   1.00]'
aspi_line='0  (0,0) ZORVANT DVDR   ZV-314K   1.00'
aspi=$'USE SCSIPASSTHROUGHINTERFACE ON WINNT=NO\r\n'

# 1. cmake --install into a scratch prefix.
DESTDIR="$scratch/installed" cmake --install "$build" --prefix /usr >/dev/null
check_tree "$scratch/installed"
run_installed "$scratch/installed" "" "$letter_line"
run_installed "$scratch/installed" "$aspi" "$aspi_line"

# 2. The .deb: its dependencies resolve on this system, and unpacked into a scratch root it
# holds the same tree and runs.
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/zvfirm_*.deb)
dpkg-deb -f "$deb" Depends | grep -q libqt6widgets6 || fail "the .deb does not depend on Qt"
apt-get install --simulate -qq "$deb" >/dev/null || fail "the .deb's dependencies do not resolve"
dpkg-deb -x "$deb" "$scratch/deb"
check_tree "$scratch/deb"
run_installed "$scratch/deb" "" "$letter_line"
run_installed "$scratch/deb" "$aspi" "$aspi_line"
echo "test-install: installed tree and .deb OK"
