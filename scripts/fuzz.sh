#!/usr/bin/env bash
# Builds the libFuzzer targets, the file readers' and the command sequences'
# (clang, AddressSanitizer and UndefinedBehaviorSanitizer) into build-fuzz/
# and runs each for SECONDS (default 30). Fails when any target crashes, leaks,
# hangs, allocates too much, trips a sanitizer or breaks an invariant; the
# input that did it is left in build-fuzz/artifacts/.
#
# Each target starts from its seed corpus fuzz/corpus/<target>/ (files the
# program itself writes; hand-made sequences for command_sequence) and keeps
# what it finds in build-fuzz/corpus/<target>/ so that later runs go on from
# there. Missing seeds are made with tervane-cli.
#
#   bash scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-30}
targets=(autoconvolution_file profile_file experimental_data_file command_sequence)

# The core's files compiled in batches (a unity build): twice as fast.
cmake -S fuzz -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_UNITY_BUILD=ON >/dev/null
cmake --build build-fuzz

# tervane-cli from the ordinary build when there is one, otherwise a core-only
# build of it beside the fuzz targets.
tervane_cli() {
  if [ -x build/src/tervane-cli ]; then
    build/src/tervane-cli "$@"
    return
  fi
  if [ ! -x build-fuzz/cli/src/tervane-cli ]; then
    cmake -S . -B build-fuzz/cli -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DTERVANE_BUILD_UI=OFF -DTERVANE_BUILD_TESTS=OFF >/dev/null
    cmake --build build-fuzz/cli --target tervane-cli
  fi
  build-fuzz/cli/src/tervane-cli "$@"
}

make_seeds() {
  local target=$1 dir=fuzz/corpus/$1 scratch
  scratch=$(mktemp -d)
  mkdir -p "$dir"
  case $target in
    autoconvolution_file)
      # A stored calculation is its .flt with its .log appended.
      tervane_cli autos --nc 3 --points 200 --out "$scratch/nc3.flt" >/dev/null
      cat "$scratch/nc3.flt" "$scratch/nc3.log" >"$dir/nc3_points200"
      tervane_cli autos --nc 2 --points 40 --step 100 --out "$scratch/nc2.flt" >/dev/null
      cat "$scratch/nc2.flt" "$scratch/nc2.log" >"$dir/nc2_points40"
      ;;
    profile_file)
      tervane_cli profile --out "$scratch/line.pro" max-depth=0.1 line=0,1,0.05,1 >/dev/null
      cp "$scratch/line.pro" "$dir/line"
      tervane_cli profile --out "$scratch/layer.pro" max-depth=0.035 contamination=0.01 \
        line=0,2,0.035,0.5 constants=12,0.5,-3 >/dev/null
      cp "$scratch/layer.pro" "$dir/layer"
      ;;
    experimental_data_file)
      printf '1   2\n3   4\n' >"$dir/two_columns"
      printf '1 2\n3 4' >"$dir/no_final_line_end"
      printf '1 2 3\n4 5 6\n' >"$dir/three_a_line"
      printf '1.5e2\t7\r\n-0.25E-3   +8.\r\n.5 1e\n' >"$dir/number_forms"
      ;;
  esac
  rm -rf "$scratch"
}

for target in "${targets[@]}"; do
  if [ -z "$(ls -A "fuzz/corpus/$target" 2>/dev/null)" ]; then
    make_seeds "$target"
  fi
done

# Undefined behaviour aborts (-fno-sanitize-recover), so it counts as a crash.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

mkdir -p build-fuzz/artifacts
# One target's run; its output goes to build-fuzz/TARGET.log.
fuzz_one() {
  local target=$1 work=build-fuzz/corpus/$1
  mkdir -p "$work"
  # The readers are given 1 MB at most, so one allocation of 64 MB is a fault;
  # a single input taking 10 s is a hang.
  build-fuzz/fuzz_"$target" -max_total_time="$seconds" -rss_limit_mb=2048 \
    -malloc_limit_mb=64 -timeout=10 -print_final_stats=1 \
    -artifact_prefix="build-fuzz/artifacts/$target-" "$work" "fuzz/corpus/$target" \
    >"build-fuzz/$target.log" 2>&1
}

# Each fuzzer runs on one core: as many run at once as there are cores.
declare -A pid_of
running=0
for target in "${targets[@]}"; do
  if [ "$running" -ge "$(nproc)" ]; then
    wait -n || true
    running=$((running - 1))
  fi
  echo "== fuzz_$target for ${seconds}s"
  fuzz_one "$target" &
  pid_of[$target]=$!
  running=$((running + 1))
done

failed=()
for target in "${targets[@]}"; do
  log=build-fuzz/$target.log
  if wait "${pid_of[$target]}"; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    work=build-fuzz/corpus/$target
    echo "   fuzz_$target: $runs runs, corpus $(find "$work" -type f | wc -l) files ($(du -sk "$work" | cut -f1) KB)"
  else
    echo "   fuzz_$target failed:"
    tail -n 60 "$log"
    failed+=("$target")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "Fuzzing found faults in: ${failed[*]} (inputs in build-fuzz/artifacts/)" >&2
  exit 1
fi
