#!/usr/bin/env bash
# Golden end-to-end cases: runs the tool once for every line of tests/golden/cases.tsv and
# compares the exit status, the SHA-256 of standard output and the exact text of standard error.
#   bash tests/golden/check.sh TOOL            check every case; a failure names the case
#   bash tests/golden/check.sh TOOL --update   write what the tool does now into cases.tsv
# A line of cases.tsv is: name, command line, exit status, SHA-256 of standard output, standard
# error with \n for a line break and \\ for a backslash; the five fields are separated by tabs.
# Lines starting with # are notes. The command line is the tool's arguments separated by blanks
# (paths relative to the repository), after optional NAME=value words for the environment, and
# with optional words for standard input: <FILE reads it from FILE, <|FILE from a pipe that FILE
# is written into (standard input is /dev/null otherwise). @TMP stands for an empty folder of the
# case's own, in the command line and in what the tool prints.
set -uo pipefail
tool=$(realpath "$1")
update=${2:-}
here=$(cd "$(dirname "$0")" && pwd)
cases=$here/cases.tsv
cd "$here/../.."
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# A file's text with every backslash doubled and every line break written as \n.
escaped() {
  local text
  text=$(cat "$1"; echo x)
  text=${text%x}
  text=${text//\\/\\\\}
  printf '%s' "${text//$'\n'/\\n}"
}
# The text that an escaped field stands for, one line per line.
unescaped() { printf '%s' "$1" | sed -e 's/\\n/\n/g' -e 's/\\\\/\\/g'; }

failures=0
count=0
: > "$tmp/new.tsv"
while IFS= read -r line || [ -n "$line" ]; do
  if [ -z "$line" ] || [ "${line:0:1}" = "#" ]; then
    printf '%s\n' "$line" >> "$tmp/new.tsv"
    continue
  fi
  IFS=$'\t' read -r name args status digest stderr <<< "$line"
  scratch=$(mktemp -d)
  read -ra words <<< "${args//@TMP/$scratch}"
  environment=()
  argv=()
  input=/dev/null
  piped=""
  for w in "${words[@]}"; do
    if [ ${#argv[@]} -eq 0 ] && [[ $w =~ ^[A-Z_]+= ]]; then
      environment+=("$w")
    elif [[ $w == "<|"* ]]; then
      piped=${w:2}
    elif [[ $w == "<"* ]]; then
      input=${w:1}
    else
      argv+=("$w")
    fi
  done
  if [ -n "$piped" ]; then
    cat "$piped" | env "${environment[@]}" "$tool" "${argv[@]}" > "$tmp/out" 2> "$tmp/err"
    got_status=${PIPESTATUS[1]}
  else
    env "${environment[@]}" "$tool" "${argv[@]}" > "$tmp/out" 2> "$tmp/err" < "$input"
    got_status=$?
  fi
  got_digest=$(sha256sum < "$tmp/out" | cut -d' ' -f1)
  got_stderr=$(escaped "$tmp/err")
  got_stderr=${got_stderr//$scratch/@TMP}
  rm -rf "$scratch"
  count=$((count + 1))
  printf '%s\t%s\t%s\t%s\t%s\n' "$name" "$args" "$got_status" "$got_digest" "$got_stderr" \
    >> "$tmp/new.tsv"
  [ "$update" = "--update" ] && continue
  problems=()
  [ "$got_status" = "$status" ] || problems+=("status $got_status, expected $status")
  [ "$got_digest" = "$digest" ] || problems+=("standard output differs (sha256 $got_digest)")
  if [ "$got_stderr" != "$stderr" ]; then
    problems+=("standard error differs (< expected, > got):")
    problems+=("$(diff <(unescaped "$stderr") <(unescaped "$got_stderr") | head -20)")
  fi
  if [ ${#problems[@]} -gt 0 ]; then
    failures=$((failures + 1))
    echo "FAIL $name: KorvexLogDump $args"
    for p in "${problems[@]}"; do echo "  $p"; done
  fi
done < "$cases"

if [ "$update" = "--update" ]; then
  cp "$tmp/new.tsv" "$cases"
  echo "wrote $count cases to $cases"
  exit 0
fi
echo "$((count - failures)) of $count golden cases pass"
[ $failures -eq 0 ]
