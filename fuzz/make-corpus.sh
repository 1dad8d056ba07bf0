#!/usr/bin/env bash
# Writes the fuzz targets' starting corpora into fuzz/corpus/ with
# vantrel-fuzz-corpus, built in ./build (the plain build).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j2 --target vantrel-fuzz-corpus
build/fuzz/vantrel-fuzz-corpus fuzz/corpus
