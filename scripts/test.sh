#!/usr/bin/env bash
# Installs the dependencies, builds everything and runs the whole test
# suite; then the suite again under the sanitizers (scripts/test-sanitized.sh)
# and every fuzz target for 45 seconds (scripts/fuzz.sh). Each stage says how
# long it took.
set -euo pipefail
cd "$(dirname "$0")/.."

stage() {
  local name=$1
  shift
  local start=$SECONDS
  echo "=== $name"
  "$@"
  echo "=== $name: $((SECONDS - start)) s"
}

suite() {
  QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j2
}

stage "dependencies" bash scripts/install-deps.sh
stage "build (GCC, warnings as errors)" bash scripts/build.sh -DVANTREL_WERROR=ON
stage "test suite" suite
stage "sanitizers (warnings as errors): build and test suite" bash scripts/test-sanitized.sh
stage "clang: fuzz targets and tests built, fuzzing" bash scripts/fuzz.sh
echo "=== all stages: $SECONDS s"
