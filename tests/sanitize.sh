#!/usr/bin/env bash
# Builds everything with clang's address and undefined-behaviour sanitizers and runs every test:
#   bash tests/sanitize.sh
set -euo pipefail
cd "$(dirname "$0")/.."
build=${KORVEX_SANITIZE_BUILD:-build-sanitize}
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVEX_SANITIZE=ON
cmake --build "$build" -j2
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$build" --output-on-failure -j2 --no-tests=error
