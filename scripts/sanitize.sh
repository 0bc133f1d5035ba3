#!/usr/bin/env bash
# The checked runs of CI, each failing on the first report:
#   1. every test under AddressSanitizer, LeakSanitizer and
#      UndefinedBehaviorSanitizer (build-asan/, benchmarks left out);
#   2. the tests that run worker threads under ThreadSanitizer (build-tsan/);
#   3. every fuzz target for 30 seconds (scripts/fuzz.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
# Line tables are all a report needs, and they compile faster than full
# debug information. The address build, every test, compiles a third faster
# at -O1 than at -O2 and its tests run about as fast; the thread build, a few
# tests that run long, keeps -O2. Both compile each library's files in batches
# (CMake's unity build), about twice as fast from scratch; build/ compiles
# every file alone, so each file still has to include what it uses.
asan_flags="-O1 -g1 -DNDEBUG"
checked_flags="-O2 -g1 -DNDEBUG"
mkdir -p build-asan build-tsan

# ctest -R pattern for every test of the given test executables.
tests_of() { (IFS='|'; echo "^($*)\\."); }

# ---- 1. Addresses, leaks, undefined behaviour ------------------------------

# Each entry is a leak in a library we call, made where we cannot free it.
cat >build-asan/lsan.supp <<'EOF'
# Fontconfig keeps a few hundred bytes from parsing its configuration (inside
# FcInitLoadConfigAndFonts, reached from Qt's font database the first time a
# widget measures text) and frees them only in FcFini, which Qt never calls.
# Matched by library: fontconfig is built without frame pointers, so the fast
# unwinder stops at its first frame. Tervane never calls fontconfig itself.
leak:libfontconfig.so
EOF
# The address sanitizer of this compiler keeps its own record of each
# thread's dynamic TLS blocks (those of libraries loaded at run time, Qt's
# plugins among them) and, with this glibc, can keep a record whose block is
# gone: the leak checker's tracer then reads it at exit and dies ("Tracer
# caught signal 11 ... DTLS"), however clean the program (seen in a test that
# writes the chart as PNG, JPEG, BMP, PDF and SVG). Without that record the
# blocks are still scanned, as the heap blocks glibc allocates them as,
# reached from the thread's own TLS.
export ASAN_OPTIONS=detect_leaks=1:detect_stack_use_after_return=1:strict_init_order=1:intercept_tls_get_addr=0
export LSAN_OPTIONS=suppressions=$PWD/build-asan/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$asan_flags" \
  -DTERVANE_SANITIZE=address,undefined -DTERVANE_BUILD_BENCH=OFF -DCMAKE_UNITY_BUILD=ON
cmake --build build-asan -j "$jobs"
ctest --test-dir build-asan --output-on-failure -j "$jobs" --timeout 900

# ---- 2. Threads ------------------------------------------------------------

# The kernels that split their loops between cores, the cancellable
# calculation and the sampler's two threads sharing each measurement's cache
# of forward models, and the mailboxes that carry the workers' values to the
# windows: std::thread, std::mutex and std::atomic only, so every report counts.
core_thread_tests=(
  model_curve_convolution_test
  model_collision_weights_test
  model_excitation_calculation_test
  commands_autoconvolution_commands_test
  fit_forward_model_test
  fit_ensemble_sampler_test
  fit_free_form_inversion_test
  fit_layer_posterior_test
  fit_interval_coverage_test
  app_mailbox_test
)
# Replica studies that run the threaded code of the shorter tests beside them
# over and over: under the thread checker they would take three minutes of
# the two cores and run no threaded code the shorter ones do not. They run in
# the other two builds.
long_replica_studies=(
  FreeFormRegions.TileTheAmountAndTheirErrorsAndTheBackgroundsCoverTheTruth
  FreeFormBootstrap.SpreadOfTheAmountIsThatOverIndependentMeasurements
  LayerPosterior.AConvergedRunGivesNoWarning
  LayerPosterior.TheDiscardedFirstHalfHoldsTheWalkInFromAStartAwayFromTheOptimum
  "HardSamples/IntervalCoverage.EveryReplicaConvergesWithIntervalsNearTheTruth/thin first.*"
)
# The calculation and fit workers on their QThreads, with Stop.
qt_thread_tests=(app_calculation_controller_test ui_fit_window_test)

cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$checked_flags" \
  -DTERVANE_SANITIZE=thread -DTERVANE_BUILD_BENCH=OFF -DCMAKE_UNITY_BUILD=ON
cmake --build build-tsan -j "$jobs" --target "${core_thread_tests[@]}" "${qt_thread_tests[@]}"

TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  ctest --test-dir build-tsan --output-on-failure -j "$jobs" --timeout 900 \
  -R "$(tests_of "${core_thread_tests[@]}")" -E "\\.($(IFS='|'; echo "${long_replica_studies[*]}"))\$"

# Qt as Debian ships it is not built with ThreadSanitizer, and its mutexes
# wait on futexes, which TSan does not see: whatever Qt hands from one thread
# to another looks unsynchronised. The workers therefore pass nothing through
# Qt's event queue but bare signals; every value crosses in a mailbox under a
# standard mutex. ignore_noninstrumented_modules leaves unchecked the memory
# that Qt and GLib allocate, copy and free themselves (posted events, the event
# dispatcher's eventfd); every access made by our own code is still checked,
# with no suppressions.
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:ignore_noninstrumented_modules=1 \
  ctest --test-dir build-tsan --output-on-failure -j "$jobs" --timeout 900 \
  -R "$(tests_of "${qt_thread_tests[@]}")"

# ---- 3. Fuzzing ------------------------------------------------------------

bash scripts/fuzz.sh 30
