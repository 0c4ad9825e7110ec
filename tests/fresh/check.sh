#!/usr/bin/env bash
# The two commands of the README on a fresh machine: a Debian 12 root made with debootstrap (the
# minimal variant: no compiler, no libraries), the project's files copied into it, and the
# README's first command (install what the build needs, build, run on the sample) and its second
# (install what the tests need, run them all) run in it exactly as the README gives them, as
# root, each timed. Needs root (debootstrap, chroot, mounts) and Debian's mirror.
#   bash tests/fresh/check.sh [ROOT]    default: a new folder in $TMPDIR, removed after
set -euo pipefail
cd "$(dirname "$0")/../.."
repo=$PWD
root=${1:-$(mktemp -d "${TMPDIR:-/tmp}/korvex-fresh.XXXXXX")}
keep=${1:+yes}

build_command=$(grep -m1 '^sh tools/setup.sh build ' README.md) ||
  { echo "the README has no first command (sh tools/setup.sh build ...)"; exit 1; }
test_command=$(grep -m1 '^sh tools/setup.sh test ' README.md) ||
  { echo "the README has no second command (sh tools/setup.sh test ...)"; exit 1; }

mounted=()
cleanup() {
  local m
  for ((m = ${#mounted[@]} - 1; m >= 0; m--)); do umount -R "${mounted[m]}" 2> /dev/null || true; done
  [ -n "$keep" ] || rm -rf "$root"
}
trap cleanup EXIT

# The mirror this machine's own packages come from.
mirror=$(sed -n 's/^URIs: *\([^ ]*\).*/\1/p' /etc/apt/sources.list.d/debian.sources 2> /dev/null |
  grep -v security | head -n 1)
mirror=${mirror:-$(awk '/^deb / && !/security/ {print $2; exit}' /etc/apt/sources.list 2> /dev/null)}
mirror=${mirror:-http://deb.debian.org/debian}

start=$(date +%s)
if [ ! -x "$root/bin/bash" ]; then
  debootstrap --variant=minbase bookworm "$root" "$mirror" > "$root.debootstrap.log" 2>&1 ||
    { tail -n 20 "$root.debootstrap.log"; echo "debootstrap failed"; exit 1; }
  rm -f "$root.debootstrap.log"
fi
echo "fresh Debian 12 root in $root: $(($(date +%s) - start)) s"

# The project's files as git knows them (uncommitted and new ones too), nothing built.
mkdir -p "$root/src"
git ls-files -z --cached --others --exclude-standard | tar --null -T - -cf - | tar -xf - -C "$root/src"
cp /etc/resolv.conf "$root/etc/resolv.conf"
# The certificates of the authorities this machine's network needs beside Debian's (a proxy's,
# say): the root's ca-certificates takes them in when the README's command installs it, and
# Node.js (npm) is told to trust them as this machine's is, through NODE_EXTRA_CA_CERTS.
extra_ca=""
if compgen -G "/usr/local/share/ca-certificates/*.crt" > /dev/null; then
  mkdir -p "$root/usr/local/share/ca-certificates"
  cp /usr/local/share/ca-certificates/*.crt "$root/usr/local/share/ca-certificates/"
  extra_ca="NODE_EXTRA_CA_CERTS=/etc/ssl/certs/ca-certificates.crt"
fi
for fs in proc sys dev; do
  mount --rbind "/$fs" "$root/$fs"
  mounted+=("$root/$fs")
done

# A command in the root as a newcomer's shell runs it: in the project's folder, no environment
# of this machine's.
in_root() {
  # shellcheck disable=SC2086
  chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM=dumb $extra_ca \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    /bin/bash -c "cd /src && $1"
}

for which in first second; do
  command=$build_command
  [ $which = first ] || command=$test_command
  echo "the README's $which command: $command"
  t0=$(date +%s)
  if ! in_root "$command" > "$root/$which.log" 2>&1; then
    tail -n 40 "$root/$which.log"
    echo "the README's $which command failed in a fresh Debian 12"
    exit 1
  fi
  echo "  done in $(($(date +%s) - t0)) s; its last lines:"
  tail -n 4 "$root/$which.log" | sed 's/^/    /'
done
echo "both README commands passed in a fresh Debian 12 ($(($(date +%s) - start)) s in all)"
