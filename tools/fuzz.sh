#!/usr/bin/env bash
# Builds the libFuzzer targets with clang-14 in build-fuzz and runs each on a copy of its
# committed seed corpus: by default a fixed number of inputs from a fixed seed, so that the
# suite's run is repeatable (the same code passes or fails the same way everywhere); with
# "--seconds N" for N seconds from a random seed, for longer runs by hand.
#
#   bash tools/fuzz.sh [RUNS]            default 10000 inputs per target, seed 1
#   bash tools/fuzz.sh --seconds 1800
set -euo pipefail
cd "$(dirname "$0")/.."
# Undefined behaviour stops a target like a crash does.
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
if [ "${1:-}" = "--seconds" ]; then
  limit=(-max_total_time="${2:?seconds}")
else
  limit=(-runs="${1:-10000}" -seed=1)
fi
CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -DKS_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target ks_fuzzers >/dev/null
passed=0
failed=0
for target in build-fuzz/fuzz/*_fuzz; do
  [ -e "$target" ] || continue
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus=build-fuzz/corpus/$name
  rm -rf "$corpus" && mkdir -p "$corpus"
  seeds=$(cat "$target.corpus" 2>/dev/null || true)
  if [ -n "$seeds" ] && [ -d "$seeds" ]; then cp -r "$seeds"/. "$corpus"/; fi
  if "$target" "${limit[@]}" -timeout=10 -rss_limit_mb=2048 "$corpus" >"build-fuzz/$name.log" 2>&1; then
    echo "fuzz $name: $(grep -o 'Done [0-9]* runs' "build-fuzz/$name.log" | tail -1)"
    passed=$((passed + 1))
  else
    echo "fuzz $name FAILED:"; tail -40 "build-fuzz/$name.log"
    failed=$((failed + 1))
  fi
done
echo "fuzz targets: $passed clean, $failed crashed"
[ "$failed" -eq 0 ]
