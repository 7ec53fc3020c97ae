#!/bin/sh
# Installs what building, running and testing PAIRLY Calc needs on Debian 12, and generates
# the locales the Wine tests switch between. Safe to run again; does nothing when all is there.
set -eu

packages="cmake make g++ clang libclang-rt-14-dev googletest libgtest-dev libbenchmark-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64-x86-64
  binutils-mingw-w64-i686 wine wine64 xvfb xauth x11-utils imagemagick icoutils locales zip
  python3 python3-pil unicode-data fonts-dejavu-core curl"

# 32-bit Wine, for the 32-bit program's tests (they run where the kernel runs 32-bit programs).
packages="$packages wine32:i386"

missing=""
for package in $packages; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" ||
    missing="$missing $package"
done
if [ -n "$missing" ]; then
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd=sudo
  case " $(dpkg --print-foreign-architectures | tr '\n' ' ') " in
    *" i386 "*) ;;
    *) $sudo_cmd dpkg --add-architecture i386 ;;
  esac
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq $missing >/dev/null
fi

# Wine takes its code page and number format from LANG; without the locale generated it
# silently falls back to code page 1252 with a decimal point.
wanted="en_US.UTF-8 de_DE.UTF-8 ja_JP.UTF-8 ru_RU.UTF-8 cs_CZ.UTF-8"
need_gen=""
for loc in $wanted; do
  short=$(echo "$loc" | sed 's/UTF-8/utf8/')
  locale -a 2>/dev/null | grep -qx "$short" || need_gen=1
done
if [ -n "$need_gen" ]; then
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd=sudo
  for loc in $wanted; do
    $sudo_cmd sed -i -E "s/^# *($loc UTF-8)/\1/" /etc/locale.gen
  done
  $sudo_cmd locale-gen >/dev/null
fi
