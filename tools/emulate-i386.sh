#!/bin/sh
# Lets a kernel that does not run 32-bit programs run them anyway, through qemu's i386
# user-mode emulation registered with binfmt_misc, so that 32-bit Wine, and with it the 32-bit
# program's tests, can run here. The results are exact: qemu emulates the x87 unit's precision
# control. Debian 12's own qemu (7.2) cannot run Wine (it ignores MAP_FIXED_NOREPLACE, which
# Wine's address-space reservation relies on); Debian 13's static qemu-i386 can. apt fetches
# that one from the mirror this machine's own sources name, through a temporary configuration
# for Debian 13 alone, so apt checks its signature and checksums and the machine's sources stay
# as they are.
#
# binfmt_misc runs the emulator as part of every 32-bit program on the machine, so it is kept
# where only root can change it (the file and every directory above it owned by root and
# writable by no one else), checked before it is registered.
#
# Succeeds silently where i386 programs run afterwards: at once where the kernel runs them
# itself or this registration is already in place (then nothing is changed). Elsewhere prints
# one line saying why not and fails. Needs arch-test (its probe programs tell whether i386
# programs run), and root, or sudo without a password, to register; the registration lasts
# until the machine restarts.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
emulator_dir=/usr/local/lib/pairly-calc
emulator=$emulator_dir/qemu-i386
emulator_suite=trixie
binfmt=/proc/sys/fs/binfmt_misc
handler=$binfmt/pairly-i386

fail() { echo "$*"; exit 1; }
command -v arch-test >/dev/null || fail "qemu's i386 emulation: arch-test is not installed"
arch-test -n i386 >/dev/null 2>&1 && exit 0

. "$here/../cmake/root-owned.sh"
emulator_trusted() { root_owned "$emulator" "regular file"; }
# Our registration, switched on, of the emulator where only root can change it. One under our
# name that runs another file (earlier versions of this script kept the emulator in a user's
# cache, where others could change it) is replaced.
registered() {
  [ -e "$handler" ] && grep -qx enabled "$handler" && grep -qx "interpreter $emulator" "$handler" &&
    emulator_trusted
}
if registered && arch-test i386 >/dev/null 2>&1; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  sudo -n true 2>/dev/null ||
    fail "qemu's i386 emulation needs root: run this as root, or with sudo that needs no password"
  exec sudo -n sh "$here/emulate-i386.sh"
fi

# Debian 13's main component, on the mirror and with the key that this machine's own entry for
# its release names. Prints nothing where no such entry is found.
emulator_source() {
  sh "$here/apt-sources.sh" --as "$emulator_suite" "$(. /etc/os-release && echo "${VERSION_CODENAME:-}")"
}

fetch_emulator() {
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  # apt's downloads run as its sandbox user, which must reach these folders.
  chmod 755 "$work"
  mkdir -p "$work/parts" "$work/lists/partial" "$work/cache/archives/partial" "$work/deb"
  chown _apt "$work/deb" 2>/dev/null || true
  : >"$work/sources.list"
  emulator_source >"$work/parts/emulator.sources"
  [ -s "$work/parts/emulator.sources" ] ||
    fail "qemu's i386 emulation: no apt source for this machine's Debian release is configured"
  apt_emulator() {
    apt-get -q -o Dir::Etc::SourceList="$work/sources.list" -o Dir::Etc::SourceParts="$work/parts" \
      -o Dir::State::Lists="$work/lists" -o Dir::Cache="$work/cache" -o Acquire::Languages=none \
      "$@" >"$work/apt.log" 2>&1 ||
      fail "qemu's i386 emulation: apt-get $1 from Debian 13 failed:" \
        "$(grep '^E:' "$work/apt.log" | head -n 1 | sed -E 's/^E: *//; s/ *\[IP: [^]]*\]//')"
  }
  apt_emulator update
  cd "$work/deb"
  apt_emulator download qemu-user
  cd /
  dpkg-deb --fsys-tarfile "$work"/deb/qemu-user_*.deb | tar -x -C "$work" ./usr/bin/qemu-i386 ||
    fail "qemu's i386 emulation: Debian 13's qemu-user package holds no usr/bin/qemu-i386"
  install -d -o root -g root -m 0755 "$emulator_dir"
  install -o root -g root -m 0755 "$work/usr/bin/qemu-i386" "$emulator.new"
  mv -f "$emulator.new" "$emulator"
}

if [ ! -e "$binfmt/register" ]; then
  mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null || fail "binfmt_misc cannot be mounted here"
fi

if [ -e "$handler" ] && ! registered; then
  echo -1 >"$handler" || fail "the i386 registration of another file cannot be removed"
fi
if [ ! -e "$handler" ]; then
  emulator_trusted || fetch_emulator
  emulator_trusted || fail "qemu's i386 emulation: $emulator or a directory above it is not root's alone"
  # 32-bit x86 ELF executables and shared objects; F: the kernel opens the emulator now, so it
  # is found from any mount namespace and chroot.
  magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  printf '%s\n' ":pairly-i386:M::$magic:$mask:$emulator:F" >"$binfmt/register" 2>/dev/null ||
    fail "qemu's i386 emulation cannot be registered with binfmt_misc"
fi
arch-test i386 >/dev/null 2>&1 || fail "i386 programs do not run even under qemu's i386 emulation"
