#!/usr/bin/env bash
# Writes the seed corpus of the fuzzer, small logs of a few KB made by korvex-synth:
#   bash fuzz/make_corpus.sh BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
synth=${1:-build}/korvex-synth
out=fuzz/corpus
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$synth" -o "$out/wrapped-layout2-all.rec" --layout 2 --sections all --flights 1 --capacity 4096 --seed 1 2>/dev/null
"$synth" -o "$out/wrapped-layout0-none.rec" --layout 0 --sections none --flights 1 --capacity 2048 --seed 2 2>/dev/null
"$synth" -o "$out/wrapped-layout1-telm1-attitude.rec" --layout 1 --sections telm1,attitude --flights 1 --capacity 3000 --seed 3 2>/dev/null
"$synth" -o "$out/wrapped-layout3-telm2-gps.rec" --layout 3 --sections telm2,gps --flights 1 --capacity 3000 --seed 4 2>/dev/null
# The first few KB of logs where most records carry a fault.
"$synth" -o "$tmp/mixed.rec" --layout 2 --sections all --flights 1 --mixed 1500 --mixed-layout 0 --seed 5 2>/dev/null
head -c 4000 "$tmp/mixed.rec" > "$out/mixed-layouts.rec"
"$synth" -o "$tmp/damaged.rec" --layout 1 --sections gps --flights 1 --power-cuts 800 --garbage 600 --stray-markers 400 --stray-aa 300 --seed 6 2>/dev/null
head -c 4000 "$tmp/damaged.rec" > "$out/damaged.rec"
ls -l "$out"
