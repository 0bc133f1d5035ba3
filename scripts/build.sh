#!/usr/bin/env bash
# Configures and builds into build/ (Release with debug information): every
# target, or only those named in TERVANE_TARGETS (space-separated).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
targets=()
for target in ${TERVANE_TARGETS:-}; do targets+=(--target "$target"); done
cmake --build build -j "$(nproc)" "${targets[@]}"
