#!/bin/sh
# Installs what KorvexLogDump needs on Debian 12 (or a Debian-based system), each package only
# when it is missing; as root, or with sudo.
#   sh tools/setup.sh build   what the build needs: CMake, g++, toml++, SQLite, Node.js's npm, and
#                             with npm the report's charting library (npm ci --omit=dev, as
#                             package-lock.json pins it)
#   sh tools/setup.sh test    that, and what the tests need: GoogleTest, Google Benchmark, the
#                             programs the tests feed the tool's output to (sqlite3, pandas,
#                             xmllint, gpsbabel, Chromium, poppler's pdftoppm, groff, valgrind, GNU
#                             time), and with npm playwright-core, that drives Chromium (npm ci)
#   sh tools/setup.sh --list build|test   the Debian packages only, one a line, installed or not
set -eu

list=false
if [ "${1:-}" = "--list" ]; then
  list=true
  shift
fi
what=${1:-build}

build_packages="cmake g++ make libtomlplusplus-dev libsqlite3-dev nodejs npm"
test_packages="libgtest-dev libbenchmark-dev sqlite3 python3 python3-pandas groff-base
libxml2-utils gpsbabel chromium poppler-utils valgrind time"
case $what in
  build) packages=$build_packages ;;
  test) packages="$build_packages $test_packages" ;;
  *)
    echo "usage: sh tools/setup.sh [--list] build|test" >&2
    exit 1
    ;;
esac

if $list; then
  for p in $packages; do echo "$p"; done
  exit 0
fi

# The npm packages of package-lock.json: the charting library, and for the tests what drives the
# browser.
npm_install() {
  cd "$(dirname "$0")/.."
  if [ "$what" = build ]; then
    npm ci --omit=dev --no-audit --no-fund
  else
    npm ci --no-audit --no-fund
  fi
}

# The packages not installed yet. npm counts as installed where a Node.js of another source has
# it.
missing=""
for p in $packages; do
  if [ "$p" = npm ] && command -v npm > /dev/null 2>&1; then continue; fi
  status=$(dpkg-query -W -f='${Status}' "$p" 2> /dev/null || true)
  case $status in
    *"ok installed"*) ;;
    *) missing="$missing $p" ;;
  esac
done
if [ -z "$missing" ]; then
  echo "setup: every package the $what needs is installed"
  npm_install
  exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
  as_root=""
elif command -v sudo > /dev/null 2>&1; then
  as_root="sudo"
else
  echo "setup: these packages are missing:$missing" >&2
  echo "setup: install them as root (apt-get install$missing), or run this as root" >&2
  exit 1
fi
echo "setup: installing$missing"
export DEBIAN_FRONTEND=noninteractive
# shellcheck disable=SC2086
$as_root apt-get update -qq
# shellcheck disable=SC2086
$as_root apt-get install -y -qq $missing
npm_install
