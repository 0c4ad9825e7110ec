#!/usr/bin/env bash
# The static checks, over src/ and tools/: clang-format (.clang-format) and clang-tidy
# (.clang-tidy), both to be clean. clang-tidy reads the compile commands of a clang build
# configured in build-tidy (configured only: nothing is compiled).
#   bash tests/static/check.sh
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${KORVEX_TIDY_BUILD:-build-tidy}
mapfile -t sources < <(git ls-files 'src/*.cpp' 'src/*.h' 'tools/*.cpp' 'tools/*.h')
clang-format --dry-run --Werror "${sources[@]}"
echo "clang-format: ${#sources[@]} files formatted"
CC=clang CXX=clang++ cmake -S . -B "$build" -DKORVEX_TESTS=OFF >/dev/null
run-clang-tidy -quiet -p "$build" -j "$(nproc)" "$PWD/(src|tools)/.*\.cpp" > "$build/tidy.txt" 2>&1 ||
  { grep -E "(warning|error):" "$build/tidy.txt" | sort -u; echo "clang-tidy found the above"; exit 1; }
echo "clang-tidy: clean"
