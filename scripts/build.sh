#!/usr/bin/env bash
# Configures and builds Vantrel (Release) in ./build. Further arguments go
# to the configure step, e.g. -DVANTREL_WERROR=ON as the test run gives.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release "$@"
cmake --build build -j"$(nproc)"
