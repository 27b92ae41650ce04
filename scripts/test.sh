#!/usr/bin/env bash
# Sets up, builds everything with AddressSanitizer and UndefinedBehaviorSanitizer,
# and runs every test without a display.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh build-test -DKT_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
export QT_QPA_PLATFORM=offscreen
cd build-test
ctest --output-on-failure -j "$(nproc)"
