#!/usr/bin/env bash
# Installs what is missing, builds the programs (not the tests and benchmarks,
# which scripts/test.sh builds), and starts the desktop program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
TERVANE_TARGETS="tervane tervane-cli" bash scripts/build.sh
exec ./build/src/tervane "$@"
