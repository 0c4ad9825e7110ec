#!/usr/bin/env bash
# cmake --install puts the tool, its man page and its bash completion where they belong; the man
# page renders without a warning; the completion offers every format and every option that the
# help text lists.
#   bash tests/install/check.sh BUILD_DIR
set -euo pipefail
build=$(realpath "$1")
source=$(cd "$(dirname "$0")/../.." && pwd)
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cmake --install "$build" --prefix "$prefix" > /dev/null
tool=$prefix/bin/KorvexLogDump
man=$prefix/share/man/man1/KorvexLogDump.1
completion=$prefix/share/bash-completion/completions/KorvexLogDump
for f in "$tool" "$man" "$completion"; do [ -f "$f" ] || fail "not installed: $f"; done

version=$("$tool" --version)
[[ $version =~ ^KorvexLogDump\ [0-9]+\.[0-9]+ ]] || fail "--version printed '$version'"
grep -q "\"${version}\"" "$man" || fail "the man page does not name ${version}"

if command -v groff > /dev/null; then
  warnings=$(groff -man -ww -Tutf8 -z "$man" 2>&1)
  [ -z "$warnings" ] || fail "groff warns: $warnings"
  text=$(groff -man -Tutf8 -P -cbou "$man" 2> /dev/null)
  for section in NAME SYNOPSIS DESCRIPTION FORMATS OPTIONS "EXIT STATUS" FILES EXAMPLES; do
    grep -q "^$section\$" <<< "$text" || fail "the man page has no section $section"
  done
else
  echo "groff is not installed: the man page is not rendered"
fi

# What the completion offers after the words given.
complete_words() {
  bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _KorvexLogDump
           printf "%s\n" "${COMPREPLY[@]}"' - "$completion" KorvexLogDump "$@" | sort | xargs
}
[ "$(complete_words c)" = "comma csv" ] || fail "formats after 'c': $(complete_words c)"
[ "$(complete_words -q "")" = "comma csv gpx html kml space sqlite tab tsv" ] || fail "formats after -q"
helped=$("$tool" --help | sed -n '/^Options:/,/^$/p' | grep -oE -- '(^|[ ,])--?[A-Za-z][-A-Za-z]*' | tr -d ' ,' | sort -u | xargs)
offered=$(complete_words - | tr ' ' '\n' | grep -v '^--$' | sort -u | xargs)
[ "$helped" = "$offered" ] || fail "help lists '$helped', the completion offers '$offered'"
[ -n "$(complete_words csv "$build/")" ] || fail "no file offered after the format"
[ "$(complete_words --flight 2 c)" = "comma csv" ] || fail "formats after an option's value"
[ "$(complete_words --columns telm1_tc1)" = "telm1_tc1 telm1_tc10 telm1_tc11 telm1_tc12" ] ||
  fail "columns after --columns: $(complete_words --columns telm1_tc1)"
[ "$(complete_words --columns alt,oil)" = "alt,oil-p" ] || fail "labels after a comma"
[ "$(complete_words --columns alt,telm2_tc1)" = \
  "alt,telm2_tc1 alt,telm2_tc10 alt,telm2_tc11 alt,telm2_tc12" ] || fail "columns after a comma"
# Every column name and classic label the tool describes (of the sample, which has every block)
# is offered after --columns.
described=$("$tool" -q --describe csv "$source/examples/Korvex.rec" | tail -n +4 |
  awk -F, '{print $1; if ($3 != "") print $3}' | sort -u | xargs)
offered=$(complete_words --columns "" | tr ' ' '\n' | sort -u | xargs)
for name in $described; do
  [[ " $offered " == *" $name "* ]] || fail "--columns does not offer $name"
done
echo "installed and checked in $prefix"
