#!/bin/sh
# Builds the i386 Debian root filesystem that holds 32-bit Wine (cmake/i386-root.sh), with
# Debian's mmdebstrap, from the mirrors and suites that this machine's own apt sources name for
# its release. Built once: later runs check it and reuse it. Where the security suite's i386
# index cannot be had (a mirror's index of the wrong size, say), it is built from the release
# and its updates alone; such a root filesystem is for running our own test programs only.
#   sh tools/make-i386-root.sh [LOCALE...]   the locales to generate inside (en_US.UTF-8...)
# Prints one line: how the root filesystem was had. Fails with one line saying why. Needs
# root, mmdebstrap, and i386 programs running (tools/emulate-i386.sh).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root_tool="$here/../cmake/i386-root.sh"
root=$(sh "$root_tool" path)

status=0
why=$(sh "$root_tool" check) || status=$?
case $status in
  0)
    echo "reused, as built before, in $root"
    exit 0 ;;
  2)
    echo "$why"
    exit 1 ;;
esac
if [ -e "$root" ]; then
  # An unfinished build of ours (root's alone, as the check found): built again.
  rm -rf "$root"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/pairly-i386-root.XXXXXX")
partial=""
trap 'rm -rf "$work" ${partial:+"$partial"}' EXIT

release=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
sh "$here/apt-sources.sh" "$release" "$release-updates" >"$work/release.sources"
sh "$here/apt-sources.sh" "$release-security" >"$work/security.sources"
if [ ! -s "$work/release.sources" ]; then
  echo "no apt source for this machine's Debian release ($release) is configured"
  exit 1
fi

# The root filesystem's directory, and every one above it, root's alone.
install -d -o root -g root -m 0755 "$(dirname "$root")"
partial=$root.partial
rm -rf "$partial"

# mmdebstrap SOURCES...: the root filesystem built in $partial from those apt sources.
build() {
  rm -rf "$partial"
  # --skip=check/qemu: i386 programs run through our own binfmt_misc registration, or natively.
  mmdebstrap --mode=root --arch=i386 --variant=essential --skip=check/qemu \
    --include=wine,wine32,fonts-wine,locales \
    --dpkgopt='path-exclude=/usr/share/doc/*' --dpkgopt='path-exclude=/usr/share/man/*' \
    --dpkgopt='path-exclude=/usr/share/info/*' \
    "$release" "$partial" "$@" >"$work/build.log" 2>&1
}

security=", with $release-security"
if [ ! -s "$work/security.sources" ] || ! build "$work/release.sources" "$work/security.sources"; then
  missed=$(grep -E '^(E|W): ' "$work/build.log" 2>/dev/null | head -n 1 |
    sed -E 's/^[EW]: *//; s/ *\[IP: [^]]*\]//; s#[a-z]+://[^ ]*/dists/#.../dists/#; s/[[:space:]]+/ /g;
      s/^(.{160}).+/\1.../')
  security=", without $release-security (${missed:-no apt source names it}): for our own test programs only"
  if ! build "$work/release.sources"; then
    echo "the i386 root filesystem cannot be built: mmdebstrap failed:" \
      "$(grep -E '^E: ' "$work/build.log" | tail -n 1 | sed -E 's/^E: *//; s/^(.{200}).+/\1.../')"
    exit 1
  fi
fi

# Wine takes its code page and number format from the locale; it must be generated inside.
for locale in "$@"; do
  sed -i -E "s/^# *($locale UTF-8)/\1/" "$partial/etc/locale.gen"
done
[ $# -eq 0 ] || chroot "$partial" /usr/sbin/locale-gen >/dev/null 2>&1 || {
  echo "the i386 root filesystem cannot be built: locale-gen failed inside it"
  exit 1
}
# A mount point for this machine's own list of hosts (mmdebstrap writes none): without it Wine
# cannot resolve the machine's name.
: >"$partial/etc/hosts"
size=$(du -sm "$partial" | cut -f 1)
date -u +%Y-%m-%dT%H:%MZ >"$partial/etc/pairly-i386-root"
mv "$partial" "$root"
partial=""
echo "built in $root ($size MB$security)"
