#!/usr/bin/env bash
# Configures and builds zvfirm into build/ (or $ZVFIRM_BUILD_DIR).
# ZVFIRM_SANITIZE=ON builds with the address and undefined-behaviour sanitizers.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${ZVFIRM_BUILD_DIR:-$top/build}
werror=OFF
[ "${CI:-}" = "true" ] && werror=ON
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZVFIRM_WERROR=$werror \
  -DZVFIRM_SANITIZE="${ZVFIRM_SANITIZE:-OFF}" >/dev/null
cmake --build "$build"
