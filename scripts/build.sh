#!/usr/bin/env bash
# Configures and builds into build/ (optimised, with line tables for
# backtraces rather than full debug information, which compiles a third
# slower): every target, or only those named in TERVANE_TARGETS
# (space-separated).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" "$@"
targets=()
for target in ${TERVANE_TARGETS:-}; do targets+=(--target "$target"); done
cmake --build build -j "$(nproc)" "${targets[@]}"
