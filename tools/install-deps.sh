#!/bin/sh
# Installs what PAIRLY Calc needs on Debian 12, through apt from the sources this machine is
# configured with. Safe to run again: with everything there it neither calls apt nor changes
# anything.
#   sh tools/install-deps.sh [run|test|32-bit]
#     run     building the 64-bit program and running it under Wine (tools/run.sh)
#     test    everything the test command needs, and the locales its Wine tests switch between
#             (the default)
#     32-bit  optional: 32-bit Wine: the machine's own wine32:i386 where it installs, else an
#             i386 Debian root filesystem with Wine inside (tools/make-i386-root.sh); with
#             qemu's i386 emulation where this kernel runs no 32-bit programs
#             (tools/emulate-i386.sh). Prints one line saying which, and why; exits 0 when
#             32-bit Wine runs afterwards, elsewhere 1.
# A failing index update (a mirror in the middle of a sync) is tried again, then tolerated:
# whether the packages install decides. When they do not, one line names them and apt's error.
# Needs root for installing: as root, or through sudo without a password (never prompts).
set -eu
here=$(dirname "$0")
set_name=${1:-test}

run_packages="cmake make g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 googletest
  wine wine64 fonts-wine"
test_packages="$run_packages g++ clang libclang-rt-14-dev libgtest-dev libbenchmark-dev
  g++-mingw-w64-i686-posix binutils-mingw-w64-i686 xvfb xauth x11-utils imagemagick icoutils
  locales zip git python3 python3-pil unicode-data fonts-dejavu-core python3-dev pybind11-dev
  python3-hypothesis python3-venv"
# Wine takes its code page and number format from LANG; without the locale generated it
# silently falls back to code page 1252 with a decimal point.
test_locales="en_US.UTF-8 de_DE.UTF-8 ja_JP.UTF-8 ru_RU.UTF-8 cs_CZ.UTF-8"

work=$(mktemp -d "${TMPDIR:-/tmp}/pairly-deps.XXXXXX")
trap 'rm -rf "$work"' EXIT

installed() {
  dpkg-query -W -f='${Status}\n' "$1" 2>/dev/null | grep -q " installed$"
}

missing_of() {
  for package in "$@"; do
    installed "$package" || printf ' %s' "$package"
  done
}

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo -n "$@"; fi
}

# Succeeds where commands can run as root without asking for a password; elsewhere prints one
# line saying what needed root.
can_be_root() {
  [ "$(id -u)" -eq 0 ] && return 0
  sudo -n true 2>/dev/null && return 0
  echo "$1 needs root: run this as root, or with sudo that needs no password"
  return 1
}

# Waits for a dpkg lock held by another apt (a fresh machine's automatic updates).
apt_get() {
  as_root env DEBIAN_FRONTEND=noninteractive apt-get -q -y -o DPkg::Lock::Timeout=300 "$@"
}

# One of apt's errors in a log (first or last), shortened to one line.
apt_error() {
  grep '^E:' "$1" | { if [ "$2" = first ]; then head -n 1; else tail -n 1; fi; } |
    sed -E 's/^E: *//; s/ *\[IP: [^]]*\]//; s#[a-z]+://[^ ]*/dists/#.../dists/#;
      s/[[:space:]]+/ /g; s/\.$//; s/^(.{200}).+/\1.../'
}

# Tries the index update up to three times; when it still fails, notes apt's error in
# update_error and goes on with the indexes that did download.
update_error=""
update_indexes() {
  for attempt in 1 2 3; do
    if apt_get update >"$work/update.log" 2>&1; then
      update_error=""
      return 0
    fi
    update_error=$(apt_error "$work/update.log" first)
    [ -n "$update_error" ] || update_error="apt-get update failed"
    [ "$attempt" -eq 3 ] || sleep 5
  done
  echo "install-deps: the package index update failed ($update_error); going on with the" \
    "indexes that did download" >&2
}

# Installs the packages; on failure leaves apt's error in install_error.
install_error=""
install_packages() {
  apt_get install "$@" >"$work/install.log" 2>&1 && return 0
  install_error=$(apt_error "$work/install.log" last)
  [ -n "$install_error" ] || install_error="apt-get install failed"
  [ -z "$update_error" ] || install_error="$install_error; the index update had failed: $update_error"
  return 1
}

# Those of the packages that apt cannot install even on their own (all of them if each one can).
unresolvable_of() {
  bad=""
  for package in "$@"; do
    apt_get install -s "$package" >/dev/null 2>&1 || bad="$bad $package"
  done
  printf '%s' "${bad:- $*}"
}

install_required() {
  missing=$(missing_of $1)
  [ -n "$missing" ] || return 0
  can_be_root "install-deps: installing$missing" >&2 || exit 1
  echo "install-deps: installing$missing" >&2
  update_indexes
  # Where i386 packages are enabled, wine64 recommends 32-bit Wine: that one comes only in the
  # 32-bit step (a trailing "-" tells apt to leave it out).
  leave_out=""
  if i386_enabled && ! installed wine32:i386; then
    leave_out=wine32:i386-
  fi
  if ! install_packages $missing $leave_out; then
    echo "install-deps: cannot install$(unresolvable_of $missing): $install_error" >&2
    exit 1
  fi
}

generate_locales() {
  need_gen=""
  for loc in $test_locales; do
    short=$(echo "$loc" | sed 's/UTF-8/utf8/')
    locale -a 2>/dev/null | grep -qx "$short" || need_gen=1
  done
  [ -n "$need_gen" ] || return 0
  can_be_root "install-deps: generating the locales $test_locales" >&2 || exit 1
  for loc in $test_locales; do
    as_root sed -i -E "s/^# *($loc UTF-8)/\1/" /etc/locale.gen
  done
  as_root locale-gen >/dev/null
}

i386_enabled() {
  case " $(dpkg --print-foreign-architectures | tr '\n' ' ') " in
    *" i386 "*) return 0 ;;
    *) return 1 ;;
  esac
}

# Succeeds where i386 programs run, natively or under qemu's i386 emulation (then noting so in
# emulated); elsewhere leaves why not in why.
emulated=""
i386_programs_run() {
  if ! installed arch-test && ! install_packages arch-test; then
    why="arch-test cannot be installed: $install_error"
    return 1
  fi
  arch-test -n i386 >/dev/null 2>&1 && return 0
  why=$(sh "$here/emulate-i386.sh") || return 1
  emulated=", under qemu's i386 emulation (this kernel runs no 32-bit programs)"
}

# The machine's own 32-bit Wine; where it cannot be had, leaves why not in why.
host_wine() {
  if ! installed wine32:i386; then
    can_be_root "installing 32-bit Wine (wine32:i386)" || exit 1
    i386_enabled || as_root dpkg --add-architecture i386
    update_indexes 2>/dev/null
    if ! install_packages wine32:i386; then
      why="wine32:i386 cannot be installed: $install_error"
      return 1
    fi
  fi
  i386_programs_run || return 1
  why=$(PAIRLY_WIN32_WINE=host sh "$here/../cmake/wine32-route.sh") || return 1
}

# 32-bit Wine inside an i386 root filesystem of its own (tools/make-i386-root.sh); leaves how it
# was had in built, or why not in why.
root_wine() {
  can_be_root "building the i386 root filesystem" || exit 1
  if ! { installed mmdebstrap || install_packages mmdebstrap; }; then
    why="mmdebstrap cannot be installed: $install_error"
    return 1
  fi
  i386_programs_run || return 1
  built=$(as_root sh "$here/make-i386-root.sh" $test_locales) || { why=$built; return 1; }
  why=$(PAIRLY_WIN32_WINE=root sh "$here/../cmake/wine32-route.sh" --full) || return 1
}

# 32-bit Wine: the machine's own where it can be installed, else from an i386 root filesystem
# (always that one with PAIRLY_WIN32_WINE=root, never with =host). Prints one line saying which
# and why, or why neither; exits 0 when it runs, 1 otherwise.
install_32bit() {
  choice=${PAIRLY_WIN32_WINE:-}
  case $choice in
    "" | host | root) ;;
    *)
      echo "PAIRLY_WIN32_WINE must be host or root, not $choice"
      exit 1 ;;
  esac
  host_why="PAIRLY_WIN32_WINE=root asks for the i386 root filesystem"
  if [ "$choice" != root ]; then
    if host_wine; then
      echo "32-bit Wine: the machine's own wine32:i386$emulated"
      exit 0
    fi
    host_why=$why
    if [ "$choice" = host ]; then
      echo "$host_why"
      exit 1
    fi
  fi
  if root_wine; then
    echo "32-bit Wine: an i386 Debian root filesystem $built$emulated; $host_why"
    exit 0
  fi
  echo "32-bit Wine cannot be had: $host_why; the i386 root filesystem: $why"
  exit 1
}

case $set_name in
  run) install_required "$run_packages" ;;
  test)
    install_required "$test_packages"
    generate_locales ;;
  32-bit) install_32bit ;;
  *)
    echo "usage: sh tools/install-deps.sh [run|test|32-bit]" >&2
    exit 2 ;;
esac
