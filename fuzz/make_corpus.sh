#!/usr/bin/env bash
# Writes the seed corpus of the fuzzer: small logs (2 to 4 KB) made by korvex-synth that cover
# every record layout with every kind of section set, wrapped files, and every fault option:
#   bash fuzz/make_corpus.sh BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
synth=${1:-build}/korvex-synth
out=fuzz/corpus
rm -rf "$out"
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
seed=0
# The first `bytes` of a one-flight log written with the given options.
piece() {
  local name=$1 bytes=$2
  shift 2
  seed=$((seed + 1))
  "$synth" -o "$tmp/log.rec" --flights 1 --seed $seed "$@" 2>/dev/null
  head -c "$bytes" "$tmp/log.rec" > "$out/$name.rec"
}
for layout in 0 1 2 3; do
  for sections in none telm1 telm2 attitude gps telm1,telm2 attitude,gps all; do
    piece "layout$layout-${sections/,/-}" 3000 --layout $layout --sections $sections
  done
  # A circular file that wrapped, whole.
  piece "wrapped-layout$layout" 4096 --layout $layout --sections all --capacity 4096
done
# Every fault, many times, so that the first few KB hold several of each.
piece garbage 4000 --layout 1 --sections gps --garbage 1000
piece power-cuts 4000 --layout 2 --sections telm1,gps --power-cuts 600
piece stray-aa 4000 --layout 0 --sections attitude --stray-aa 1500
piece stray-markers 4000 --layout 3 --sections all --stray-markers 1500
for mixed in 0 1 2 3; do
  piece "mixed-layout$mixed" 4000 --layout $(((mixed + 2) % 4)) --sections all --mixed 1500 \
    --mixed-layout $mixed
done
piece all-faults 4000 --layout 1 --sections all --garbage 300 --power-cuts 300 --stray-aa 300 \
  --stray-markers 300 --mixed 300 --mixed-layout 2
ls "$out" | wc -l
