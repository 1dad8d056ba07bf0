#!/usr/bin/env bash
# Installs the dependencies, builds Vantrel and starts it on its own default
# drive (~/.local/share/vantrel/drive_c, made on first start).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
unset VANTREL_DRIVE_C
exec build/src/vantrel
