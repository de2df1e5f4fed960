#!/usr/bin/env bash
# Fuzzes the configuration reader and image loader with libFuzzer for [seconds] (default 60).
# Builds tests/fuzz with clang into build-fuzz/ (or $ZVFIRM_BUILD_DIR-fuzz), starts from
# the seed files in tests/fuzz/corpus/, and keeps what it learns in build-fuzz/corpus/.
# A failing input is written to build-fuzz/artifacts/; run it again with
#   build-fuzz/tests/fuzz/load_configuration_fuzzer build-fuzz/artifacts/<file>
# Not part of scripts/test.sh or the CI.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build=${ZVFIRM_BUILD_DIR:-$top/build}-fuzz
clang=${CLANGXX:-$(command -v clang++ || command -v clang++-14 || true)}
if [ -z "$clang" ]; then
  echo "fuzz.sh needs clang++ (Debian: apt-get install clang)" >&2
  exit 1
fi

"$top/scripts/install-deps.sh"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER="$clang" -DZVFIRM_SANITIZE=ON -DZVFIRM_BUILD_FUZZERS=ON \
  -DZVFIRM_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target load_configuration_fuzzer

mkdir -p "$build/corpus" "$build/artifacts"
cd "$build"
exec ./tests/fuzz/load_configuration_fuzzer -max_total_time="$seconds" -max_len=8192 \
  -dict="$top/tests/fuzz/load_configuration.dict" -artifact_prefix="$build/artifacts/" \
  -print_final_stats=1 "$build/corpus" "$top/tests/fuzz/corpus"
