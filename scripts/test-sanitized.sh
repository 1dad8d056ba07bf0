#!/usr/bin/env bash
# Builds Vantrel with AddressSanitizer (LeakSanitizer included) and
# UndefinedBehaviorSanitizer in ./build-asan and runs the whole test suite
# there: the "asan" workflow of CMakePresets.json.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --workflow --preset asan
