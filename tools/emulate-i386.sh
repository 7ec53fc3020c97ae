#!/bin/sh
# Lets a kernel that does not run 32-bit programs run them anyway, through qemu's i386
# user-mode emulation registered with binfmt_misc, so that 32-bit Wine, and with it the 32-bit
# program's tests, can run here. The results are exact: qemu emulates the x87 unit's precision
# control. Debian 12's own qemu (7.2) cannot run Wine (it ignores MAP_FIXED_NOREPLACE, which
# Wine's address-space reservation relies on); Debian 13's static qemu-i386 can, so that one
# is fetched, checked against the archive's signed index and kept in a cache.
#
# Succeeds silently where 32-bit Wine runs afterwards (including where it ran before: then
# nothing is changed). Elsewhere prints one line saying why not and fails. Needs root (or sudo)
# for binfmt_misc; the registration lasts until the machine restarts.
set -eu

wine32_runs() { sh "$(dirname "$0")/../cmake/wine32-check.sh" >/dev/null; }
fail() { echo "$*"; exit 1; }

[ -e /usr/lib/wine/wine ] || fail "32-bit Wine is not installed"
wine32_runs && exit 0

sudo_cmd=""
[ "$(id -u)" -eq 0 ] || sudo_cmd="sudo -n"
binfmt=/proc/sys/fs/binfmt_misc
handler=$binfmt/pairly-i386

if [ ! -e "$binfmt/register" ]; then
  $sudo_cmd mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null ||
    fail "binfmt_misc cannot be mounted here"
fi

if [ ! -e "$handler" ]; then
  cache=${XDG_CACHE_HOME:-${HOME:-/tmp}/.cache}/pairly-calc
  qemu=$cache/qemu-i386
  if [ ! -x "$qemu" ]; then
    archive=http://deb.debian.org/debian
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    fetch() { curl -fsS --retry 3 -o "$work/$2" "$archive/$1" || fail "cannot fetch $archive/$1"; }
    # The release file is signed; it vouches for the package index, which vouches for the
    # package.
    fetch dists/trixie/InRelease InRelease
    gpgv --keyring /usr/share/keyrings/debian-archive-keyring.gpg --output "$work/Release" \
      "$work/InRelease" 2>/dev/null || fail "the archive's release file fails its signature check"
    index_sum=$(awk '/^SHA256:/ { in256 = 1; next } /^[^ ]/ { in256 = 0 }
      in256 && $3 == "main/binary-amd64/Packages.xz" { print $1 }' "$work/Release")
    fetch dists/trixie/main/binary-amd64/Packages.xz Packages.xz
    echo "$index_sum  $work/Packages.xz" | sha256sum -c --status ||
      fail "the archive's package index does not match its release file"
    xz -d "$work/Packages.xz"
    set -- $(awk '/^Package: / { mine = ($2 == "qemu-user") }
      mine && /^Filename: / { file = $2 } mine && /^SHA256: / { sum = $2 }
      END { print file, sum }' "$work/Packages")
    [ $# -eq 2 ] || fail "the archive lists no qemu-user package"
    fetch "$1" qemu-user.deb
    echo "$2  $work/qemu-user.deb" | sha256sum -c --status ||
      fail "the qemu-user package does not match the archive's index"
    dpkg-deb --fsys-tarfile "$work/qemu-user.deb" | tar -x -C "$work" ./usr/bin/qemu-i386
    mkdir -p "$cache"
    mv "$work/usr/bin/qemu-i386" "$qemu"
  fi
  # 32-bit x86 ELF executables and shared objects; F: the kernel opens the emulator now, so it
  # is found from any mount namespace and chroot.
  magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  printf '%s\n' ":pairly-i386:M::$magic:$mask:$qemu:F" | $sudo_cmd tee "$binfmt/register" >/dev/null 2>&1 ||
    fail "qemu's i386 emulation cannot be registered with binfmt_misc"
fi
echo 1 | $sudo_cmd tee "$handler" >/dev/null 2>&1 ||
  fail "qemu's i386 emulation cannot be switched on (it needs root)"
wine32_runs || fail "32-bit Wine does not start even under qemu's i386 emulation"
