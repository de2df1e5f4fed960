#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test twice: first built with the
# address and undefined-behaviour sanitizers (into build-sanitize/), then as shipped
# (into build/); in between, the update engine and ASPI manager tests built with the
# thread sanitizer (build-tsan/). The plain run comes last so that ctest's summary line
# ends the output.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
build=${ZVFIRM_BUILD_DIR:-$top/build}

(
  # Set for the build too: it runs every test program to list its tests.
  export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1
  export LSAN_OPTIONS=suppressions=$top/tests/sanitizers/lsan.supp:print_suppressions=0
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  ZVFIRM_BUILD_DIR="$build-sanitize" ZVFIRM_SANITIZE=ON "$top/scripts/build.sh"
  cd "$build-sanitize"
  QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2
)

"$top/scripts/test-tsan.sh"

"$top/scripts/build.sh"
ZVFIRM_QEMU_BUILD_DIR="$build" "$top/scripts/qemu-real-kernel-check.sh"
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2
"$top/scripts/test-e2e.sh" "$build"
"$top/scripts/test-install.sh"
