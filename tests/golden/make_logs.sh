#!/usr/bin/env bash
# Remakes the small logs of the golden cases in tests/golden/logs (they are kept in the repository,
# so the cases never depend on how the synthesizer behaves today):
#   bash tests/golden/make_logs.sh BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")"
synth=$(cd "${1:-../../build}" && pwd)/korvex-synth
out=logs
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$out"
s() { "$synth" "$@" 2>/dev/null; }

# A circular log that wrapped: every section, layout 2.
s -o "$out/wrapped.rec" --layout 2 --sections all --flights 1 --capacity 12000 --seed 21
# One log per layout, each with another set of sections.
s -o "$out/layout0.rec" --layout 0 --sections none --flights 1 --capacity 3000 --seed 22
s -o "$out/layout1.rec" --layout 1 --sections telm1,attitude --flights 1 --capacity 6000 --seed 23
s -o "$out/layout3.rec" --layout 3 --sections telm2,gps --flights 1 --capacity 6000 --seed 24
# Layout 2 with records of layout 0 mixed in: raw and dated times, both engine-monitor forms.
s -o "$tmp/mixed.rec" --layout 2 --sections all --flights 1 --mixed 400 --mixed-layout 0 --seed 25
head -c 6000 "$tmp/mixed.rec" > "$out/mixed.rec"
# Three groups of records (the timestamps fall twice): dumped in file order. Each piece ends in a
# record cut short.
for day in 16 15 14; do
  s -o "$tmp/day$day.rec" --layout 1 --sections gps --flights 1 --date 2026-06-$day --seed $day
  head -c 1500 "$tmp/day$day.rec" >> "$out/groups.rec.new"
done
mv "$out/groups.rec.new" "$out/groups.rec"
# Records carrying different sets of sections, one set after another in time: absent blocks print
# as zeros, and the survey warns of the inconsistent sections.
i=0
for sections in none telm2 attitude,gps all; do
  i=$((i + 1))
  s -o "$tmp/set$i.rec" --layout 1 --sections $sections --flights 1 --date 2026-07-0$i --seed 3$i
  head -c 300 "$tmp/set$i.rec" >> "$out/sections.rec.new"
done
mv "$out/sections.rec.new" "$out/sections.rec"
# Every fault the synthesizer knows: garbage, power cuts, stray 0xAA bytes, start markers inside
# records (records split by their own bytes).
s -o "$tmp/damaged.rec" --layout 1 --sections gps --flights 1 --garbage 300 --power-cuts 200 \
  --stray-aa 300 --stray-markers 300 --seed 26
head -c 12000 "$tmp/damaged.rec" > "$out/damaged.rec"
# Hand-made bytes: bad packets of every kind, sections found where the section offset byte says,
# records stamped 0, split records, files without records.
python3 make_handmade.py "$out"
ls -l "$out"
