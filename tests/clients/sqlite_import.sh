#!/usr/bin/env bash
# sqlite3 imports the csv table as it is: one column per header name, named as the header names
# it (no renamed duplicates, no empty column), numbers it can average, dates it can read, and
# empty values where a record lacks a block.
#   bash tests/clients/sqlite_import.sh KORVEXLOGDUMP REPOSITORY
set -euo pipefail
tool=$1
repo=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

import() {  # import LOG TABLE
  "$tool" -q csv "$1" > "$tmp/$2.csv" 2> "$tmp/$2.err"
  sqlite3 "$tmp/db" ".import --csv $tmp/$2.csv $2"
  local columns
  columns=$(sqlite3 "$tmp/db" "SELECT group_concat(name, ',') FROM pragma_table_info('$2')")
  [ "$columns" = "$(head -n 1 "$tmp/$2.csv")" ] || fail "$2: sqlite3 made the columns $columns"
  local rows
  rows=$(sqlite3 "$tmp/db" "SELECT count(*) FROM $2")
  [ "$rows" = "$(($(wc -l < "$tmp/$2.csv") - 1))" ] || fail "$2: $rows rows imported"
}
query() { sqlite3 "$tmp/db" "$1"; }

import "$repo/examples/Korvex.rec" sample
[ "$(query "SELECT avg(telm1_RPM) > 1000 AND avg(telm2_RPM) > 1000 FROM sample")" = 1 ] ||
  fail "engine RPM does not average"
[ "$(query "SELECT count(*) FROM sample WHERE datetime(Time) IS NULL")" = 0 ] ||
  fail "a Time that is no date to sqlite"
[ "$(query "SELECT min(Time) < max(Time) FROM sample")" = 1 ] || fail "Time does not order"

import "$repo/tests/golden/logs/sections.rec" sections
[ "$(query "SELECT count(*) FROM sections WHERE lat = '' AND telm2_RPM <> ''")" -gt 0 ] ||
  fail "no empty GPS cells where records carry an engine monitor only"
[ "$(query "SELECT count(*) FROM sections WHERE lat = '0.00000'")" = 0 ] ||
  fail "a missing GPS block shows as latitude 0"
echo "sqlite3 imports the csv tables"
