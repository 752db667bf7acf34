#!/usr/bin/env bash
# Installs what is missing, then configures and builds into build/ (extra arguments go to cmake).
# BUILD_DIR chooses another build folder. ccache is used when the machine has it.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
dir=${BUILD_DIR:-build}
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)"
