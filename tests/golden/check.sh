#!/usr/bin/env bash
# Golden end-to-end cases: runs the tool once for every line of tests/golden/cases.tsv and
# compares the exit status, standard output, the files the run wrote and the exact text of
# standard error.
#   bash tests/golden/check.sh TOOL            check every case; a failure names the case and
#                                              shows how the output differs
#   bash tests/golden/check.sh TOOL --update   write what the tool does now as the expectation
# A line of cases.tsv is: name, command line, exit status, standard output, standard error with
# \n for a line break and \\ for a backslash; the five fields are separated by tabs. Lines
# starting with # are notes. The command line is the tool's arguments separated by blanks (paths
# relative to the repository), after optional NAME=value words for the environment, and with
# optional words for standard input: <FILE reads it from FILE, <|FILE from a pipe that FILE is
# written into (standard input is /dev/null otherwise). @TMP stands for an empty folder of the
# case's own, in the command line and in what the tool prints; @SP is a blank within a word.
# Standard output up to SMALL bytes is kept as exact text in expected/NAME.out (the field is
# "file"); a larger one as its SHA-256. Every file a case writes under @TMP is kept likewise in
# expected/NAME.files/: its exact text under its own path, or, when larger, its SHA-256 in
# PATH.sha256. The names written must be exactly those kept.
set -uo pipefail
tool=$(realpath "$1")
update=${2:-}
here=$(cd "$(dirname "$0")" && pwd)
cases=$here/cases.tsv
expected=$here/expected
cd "$here/../.."
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
SMALL=4096
# No profile of the user's own reaches the cases.
export XDG_CONFIG_HOME=$tmp/config

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
digest() { sha256sum < "$1" | cut -d' ' -f1; }
size() { stat -c %s "$1"; }
# How two texts differ, shortly.
differences() { diff -u --label expected --label got "$1" "$2" | head -40; }

# The files a case wrote, relative to its folder, one per line, sorted.
written() { (cd "$1" && find . -type f -printf '%P\n' | LC_ALL=C sort); }
# The files kept for a case, as the names written.
kept() {
  [ -d "$1" ] || return 0
  (cd "$1" && find . -type f -printf '%P\n' | sed 's/\.sha256$//' | LC_ALL=C sort)
}

# Keeps what a case wrote into $expected/NAME.files.
keep_files() {
  local scratch=$1 dir=$2 f
  rm -rf "$dir"
  [ -n "$(written "$scratch")" ] || return 0
  while IFS= read -r f; do
    mkdir -p "$(dirname "$dir/$f")"
    if [ "$(size "$scratch/$f")" -le $SMALL ]; then
      cp "$scratch/$f" "$dir/$f"
    else
      digest "$scratch/$f" > "$dir/$f.sha256"
    fi
  done < <(written "$scratch")
}

# Compares what a case wrote with what is kept; prints the problems.
compare_files() {
  local scratch=$1 dir=$2 f
  if [ "$(written "$scratch")" != "$(kept "$dir")" ]; then
    echo "  the files written differ (< expected, > got):"
    diff <(kept "$dir") <(written "$scratch") | sed 's/^/  /'
    return
  fi
  while IFS= read -r f; do
    [ -n "$f" ] || continue
    if [ -f "$dir/$f.sha256" ]; then
      [ "$(digest "$scratch/$f")" = "$(cat "$dir/$f.sha256")" ] ||
        echo "  file $f differs (sha256 $(digest "$scratch/$f"))"
    elif ! cmp -s "$dir/$f" "$scratch/$f"; then
      echo "  file $f differs:"
      differences "$dir/$f" "$scratch/$f"
    fi
  done < <(written "$scratch")
}

failures=0
count=0
: > "$tmp/new.tsv"
while IFS= read -r line || [ -n "$line" ]; do
  if [ -z "$line" ] || [ "${line:0:1}" = "#" ]; then
    printf '%s\n' "$line" >> "$tmp/new.tsv"
    continue
  fi
  IFS=$'\t' read -r name args status stdout stderr <<< "$line"
  scratch=$(mktemp -d)
  read -ra words <<< "${args//@TMP/$scratch}"
  words=("${words[@]//@SP/ }")
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
  got_stderr=$(escaped "$tmp/err")
  got_stderr=${got_stderr//$scratch/@TMP}
  count=$((count + 1))
  if [ "$(size "$tmp/out")" -le $SMALL ]; then got_stdout=file; else got_stdout=$(digest "$tmp/out"); fi
  printf '%s\t%s\t%s\t%s\t%s\n' "$name" "$args" "$got_status" "$got_stdout" "$got_stderr" \
    >> "$tmp/new.tsv"
  if [ "$update" = "--update" ]; then
    rm -f "$expected/$name.out"
    mkdir -p "$expected"
    [ "$got_stdout" = file ] && cp "$tmp/out" "$expected/$name.out"
    keep_files "$scratch" "$expected/$name.files"
    rm -rf "$scratch"
    continue
  fi
  problems=()
  [ "$got_status" = "$status" ] || problems+=("status $got_status, expected $status")
  if [ "$stdout" = file ]; then
    if [ ! -f "$expected/$name.out" ]; then
      problems+=("expected/$name.out is missing")
    elif ! cmp -s "$expected/$name.out" "$tmp/out"; then
      problems+=("standard output differs:")
      problems+=("$(differences "$expected/$name.out" "$tmp/out")")
    fi
  elif [ "$got_stdout" != "$stdout" ]; then
    problems+=("standard output differs (sha256 $(digest "$tmp/out"), $(size "$tmp/out") bytes)")
  fi
  if [ "$got_stderr" != "$stderr" ]; then
    problems+=("standard error differs (< expected, > got):")
    problems+=("$(diff <(unescaped "$stderr") <(unescaped "$got_stderr") | head -20)")
  fi
  file_problems=$(compare_files "$scratch" "$expected/$name.files")
  [ -z "$file_problems" ] || problems+=("$file_problems")
  rm -rf "$scratch"
  if [ ${#problems[@]} -gt 0 ]; then
    failures=$((failures + 1))
    echo "FAIL $name: KorvexLogDump $args"
    for p in "${problems[@]}"; do echo "  $p"; done
  fi
done < "$cases"

if [ "$update" = "--update" ]; then
  cp "$tmp/new.tsv" "$cases"
  echo "wrote $count cases to $cases and $expected"
  exit 0
fi
echo "$((count - failures)) of $count golden cases pass"
[ $failures -eq 0 ]
