#!/usr/bin/env bash
# Fuzzes with libFuzzer (clang, with the address and undefined-behaviour sanitizers): the whole
# conversion for a given number of seconds from the seed corpus in fuzz/corpus and the inputs
# of past findings in fuzz/regressions (make_corpus.sh rewrites fuzz/corpus), then the command
# line's value parsers (TIME, LIST, SECONDS) for a few seconds from fuzz/parsers-corpus:
#   bash fuzz/run.sh [SECONDS]        default 60
# New inputs go to build-fuzz/corpus and build-fuzz/parsers-corpus (the repository's corpora are
# not changed); a finding stops the run with a non-zero status and leaves the input as
# build-fuzz/crash-* or similar.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
parser_seconds=${KORVEX_FUZZ_PARSER_SECONDS:-10}
build=${KORVEX_FUZZ_BUILD:-build-fuzz}

CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVEX_FUZZ=ON \
  -DKORVEX_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target korvex-fuzz korvex-fuzz-parsers >/dev/null
mkdir -p "$build/corpus" "$build/parsers-corpus"
cd "$build"
./korvex-fuzz -max_total_time="$seconds" -print_final_stats=1 -timeout=10 -rss_limit_mb=2048 \
  -len_control=0 -max_len=65536 -artifact_prefix=./ corpus ../fuzz/corpus ../fuzz/regressions
./korvex-fuzz-parsers -max_total_time="$parser_seconds" -print_final_stats=1 -timeout=10 \
  -max_len=256 -artifact_prefix=./ parsers-corpus ../fuzz/parsers-corpus
