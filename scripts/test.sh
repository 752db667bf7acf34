#!/usr/bin/env bash
# Builds (warnings are errors) and runs every test headless, then the source guards.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh -DQINGHE_WERROR=ON
export QT_QPA_PLATFORM=offscreen
(cd build && ctest --output-on-failure -j"$(nproc)")
./scripts/guards.sh
