#!/usr/bin/env bash
# Runs the whole suite on the build made by tools/setup.sh: every ctest case, then the same
# cases once more under AddressSanitizer and UndefinedBehaviorSanitizer (a second build in
# build-asan; KS_SANITIZE=0 leaves it out), the tests of the threads under ThreadSanitizer
# (build-tsan; KS_TSAN=0 leaves it out), then each fuzz target for a fixed number of inputs
# on its committed corpus, and at last the Windows build under Wine (tools/test-windows.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
export QT_QPA_PLATFORM=offscreen
(cd build && ctest --output-on-failure -j"$(nproc)" --timeout 300)

if [ "${KS_SANITIZE:-1}" != 0 ]; then
  # Any finding fails its test: a leak, an invalid access or undefined behaviour.
  export ASAN_OPTIONS=detect_leaks=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKS_SANITIZE=ON >/dev/null
  if ! cmake --build build-asan -j"$(nproc)" >build-asan/build.log 2>&1; then
    tail -60 build-asan/build.log
    echo "sanitizer build failed (whole log in build-asan/build.log)" >&2
    exit 1
  fi
  (cd build-asan && ctest --output-on-failure -j"$(nproc)" --timeout 600)
fi

if [ "${KS_TSAN:-1}" != 0 ]; then
  # The tests that run the threads (the engine's index runs sorted and written out while
  # the table is appended to; a flush to the disk beside the reads of the file layer),
  # under ThreadSanitizer: any data race fails them.
  export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
  cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKS_TSAN=ON >/dev/null
  if ! cmake --build build-tsan -j"$(nproc)" --target xbase_test common_test >build-tsan/build.log 2>&1; then
    tail -60 build-tsan/build.log
    echo "thread sanitizer build failed (whole log in build-tsan/build.log)" >&2
    exit 1
  fi
  build-tsan/db/engine/xbase/xbase_test --gtest_filter='KeyRuns*:SpilledIndex*'
  build-tsan/common/common_test --gtest_filter='Background*'
fi

bash tools/fuzz.sh "${FUZZ_RUNS:-10000}"

# The Windows programs and their tests under Wine (KS_WINDOWS=0 leaves them out).
if [ "${KS_WINDOWS:-1}" != 0 ]; then
  bash tools/test-windows.sh
fi
