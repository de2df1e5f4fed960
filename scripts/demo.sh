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
  echo "No display: running under a virtual X server (xvfb-run); nothing will be visible." >&2
  exec xvfb-run -a "$build/ui/zvfirm"
fi
exec "$build/ui/zvfirm"
