#!/usr/bin/env bash
# Runs the whole suite on the build made by tools/setup.sh: every ctest case, then each
# fuzz target for a short bounded time on its committed corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
export QT_QPA_PLATFORM=offscreen
(cd build && ctest --output-on-failure -j"$(nproc)" --timeout 300)
bash tools/fuzz.sh "${FUZZ_SECONDS:-20}"
