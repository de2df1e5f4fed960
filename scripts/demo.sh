#!/usr/bin/env bash
# Installs what is missing, builds, and runs zvfirm on the demo package against the
# simulated drive described in examples/demo/.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh"
build=${ZVFIRM_BUILD_DIR:-$top/build}
cd "$top/examples/demo"
"$build/sim/zvfirm-make-image" "$top/examples/demo/ZV314K.BIN"
export ZVFIRM_SIMULATE="$top/examples/demo/demo-drive.sim"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  cat >&2 <<'TEXT'
zvfirm needs a display and none is set (DISPLAY and WAYLAND_DISPLAY are empty).
Run this command from a desktop session, or over SSH with X forwarding (ssh -X), or
connect a virtual display you can watch, for example:
    Xvfb :5 & x11vnc -display :5 &     (then view it with a VNC client)
    DISPLAY=:5 ./scripts/demo.sh
scripts/test-e2e.sh runs the same road unattended and keeps screenshots in build/e2e/.
TEXT
  exit 1
fi
exec "$build/ui/zvfirm"
