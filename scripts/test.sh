#!/usr/bin/env bash
# Builds (warnings are errors) and runs every test headless, then the source guards.
#
#   scripts/test.sh              the normal build in build/ and the whole suite on the data
#                                file, then every logic test (ctest label "logic") again on a
#                                throwaway PostgreSQL server (scripts/pg-cluster.sh), stopped at
#                                the end whatever happens
#   scripts/test.sh --sanitize   a second build in build-sanitize/ with clang and
#                                -fsanitize=address,undefined (optimised -O1, no debug info, no
#                                benchmarks or tools), the whole suite under the sanitizers, the
#                                logic tests again on a throwaway PostgreSQL server, then every
#                                libFuzzer target for a bounded time (scripts/fuzz.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
export QT_QPA_PLATFORM=offscreen

# The logic tests (ctest label "logic") again in the build folder $1, each clinic a fresh
# database on a PostgreSQL cluster of their own, stopped whatever happens. The folder must be
# traversable by the server's user.
server_run() {
  local pgdir conn
  pgdir=$(mktemp -d /tmp/qinghe-pg.XXXXXX)
  chmod 755 "$pgdir"
  trap "./scripts/pg-cluster.sh stop '$pgdir/cluster'; rm -rf '$pgdir'" EXIT
  conn=$(./scripts/pg-cluster.sh start "$pgdir/cluster")
  (cd "$1" && QINGHE_TEST_PG="$conn" ctest --output-on-failure -j"$(nproc)" -L logic)
  ./scripts/pg-cluster.sh stop "$pgdir/cluster"
  rm -rf "$pgdir"
  trap - EXIT
}

if [ "${1:-}" = "--sanitize" ]; then
  dir=${SANITIZE_BUILD_DIR:-build-sanitize}
  flags="-O1 -g0 -fno-omit-frame-pointer -fsanitize=address,undefined -fno-sanitize-recover=undefined"
  # Qt calls slots through pointers of another function type on purpose; that check is
  # meaningless for its signal machinery.
  flags="$flags -fno-sanitize=function"
  CC=clang CXX=clang++ BUILD_DIR="$dir" ./scripts/build.sh \
    -DCMAKE_BUILD_TYPE=None -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
    -DQINGHE_BENCH=OFF -DQINGHE_TOOLS=OFF -DQINGHE_FUZZ=ON
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1"
  export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  # Fewer kills under the sanitizers: the normal run does the full count.
  export QH_RELIABILITY_KILLS=${QH_RELIABILITY_KILLS:-40}
  (cd "$dir" && ctest --output-on-failure -j"$(nproc)")
  server_run "$dir"
  ./scripts/fuzz.sh "$dir"
  exit 0
fi

./scripts/build.sh -DQINGHE_WERROR=ON
(cd build && ctest --output-on-failure -j"$(nproc)")

server_run build

./scripts/guards.sh
