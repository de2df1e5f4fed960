#!/usr/bin/env bash
# Builds and runs the update benchmark: a full update of a 2 MiB image in 8 KiB chunks
# against a simulated drive, through each transport, against a bare loop on the drive bus.
# Arguments go to the benchmark (the number of rounds, default 30).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${ZVFIRM_BUILD_DIR:-$top/build}
"$top/scripts/install-deps.sh"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target zvfirm-update-bench -- -j2
"$build/bench/zvfirm-update-bench" "$@"
