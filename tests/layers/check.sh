#!/usr/bin/env bash
# The layers of the tool, lowest first; a file includes files of its own layer and of the layers
# below it, never of one above:
#   io, record, fields, profile, survey and plan, store, selection, aggregation, output, cli
# Within a layer, the files of a folder stand above those of its subfolders (output/registry.h
# above output/csv/): a file never includes one of a folder above its own, at any depth.
#   bash tests/layers/check.sh [SRC_DIR]   check the tree (default: the project's src)
#   bash tests/layers/check.sh --self-test a tree with one include from below fails the check
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)

rank() {
  case $1 in
    io) echo 0 ;;
    record) echo 1 ;;
    fields) echo 2 ;;
    profile) echo 3 ;;
    survey | plan) echo 4 ;;
    store) echo 5 ;;
    selection) echo 6 ;;
    aggregation) echo 7 ;;
    output) echo 8 ;;
    cli) echo 9 ;;
    *) echo -1 ;;
  esac
}

check() {
  local src=$1 failures=0 dir layer own line file included
  for dir in "$src"/*/; do
    layer=$(basename "$dir")
    own=$(rank "$layer")
    if [ "$own" -lt 0 ]; then
      echo "src/$layer is no known layer: give it its place in tests/layers/check.sh"
      failures=$((failures + 1))
      continue
    fi
    while IFS= read -r line; do
      file=${line%%:*}
      path=$(sed -E 's/^[^:]*:[0-9]+:[[:space:]]*#[[:space:]]*include[[:space:]]+"([^"]+)".*/\1/' <<< "$line")
      included=${path%%/*}
      [ "$included" != "$path" ] || continue  # no folder: a generated header such as version.h
      if [ "$(rank "$included")" -gt "$own" ]; then
        echo "${file#"$src"/} includes a file of $included, a layer above $layer: ${line#*:*:}"
        failures=$((failures + 1))
        continue
      fi
      # A folder above the file's own: its folder's path begins with the included file's folder.
      folder=$(dirname "${file#"$src"/}")
      case "$folder/" in
        "$(dirname "$path")"/?*)
          echo "${file#"$src"/} includes a file of a folder above its own: ${line#*:*:}"
          failures=$((failures + 1))
          ;;
      esac
    done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"' "$dir")
  done
  [ $failures -eq 0 ]
}

if [ "${1:-}" = "--self-test" ]; then
  tmp=$(mktemp -d)
  trap 'rm -rf "$tmp"' EXIT
  mkdir -p "$tmp/fields" "$tmp/output"
  echo '#include "fields/value.h"' > "$tmp/output/ok.h"
  check "$tmp" > /dev/null || { echo "FAIL: an include from above was refused"; exit 1; }
  mkdir -p "$tmp/output/csv" "$tmp/output/table"
  echo '#include "output/table/rows.h"' > "$tmp/output/csv/ok.h"
  echo '#include "output/csv/ok.h"' > "$tmp/output/top.h"
  check "$tmp" > /dev/null || { echo "FAIL: an include of a folder beside or below was refused"; exit 1; }
  echo '#include "output/top.h"' > "$tmp/output/csv/bad.h"
  check "$tmp" > /dev/null && { echo "FAIL: an include of a folder above passed"; exit 1; }
  rm "$tmp/output/csv/bad.h"
  echo '#include "output/log_output.h"' > "$tmp/fields/bad.h"
  check "$tmp" > /dev/null && { echo "FAIL: an include from below passed"; exit 1; }
  echo "the check refuses an include from below and one of a folder above"
  exit 0
fi

src=${1:-$here/../../src}
check "$(cd "$src" && pwd)" && echo "no layer includes one above it"
