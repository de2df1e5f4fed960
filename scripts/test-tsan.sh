#!/usr/bin/env bash
# Builds the update engine, ASPI manager and transport tests with ThreadSanitizer into
# build-tsan/ (or $ZVFIRM_BUILD_DIR-tsan) and runs them: the worker's hand-over to the
# monitor, the manager's request threads, the transports' records and kept nodes. Any report
# fails the run.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${ZVFIRM_BUILD_DIR:-$top/build}-tsan
werror=OFF
[ "${CI:-}" = "true" ] && werror=ON
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZVFIRM_WERROR=$werror \
  -DZVFIRM_SANITIZE=thread >/dev/null
cmake --build "$build" --target zv_update_tests zv_aspi_tests zv_scsi_tests -- -j2
# Only these folders: the other suites are not built here.
for suite in update aspi scsi; do
  ctest --test-dir "$build/tests/$suite" --output-on-failure -j2
done
