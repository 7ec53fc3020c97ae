#!/bin/sh
# Which 32-bit Wine runs here, printed as one word: "host", the machine's own wine32:i386
# (natively, or under qemu's i386 emulation), or "root", the one inside the i386 root
# filesystem (i386-root.sh). Where neither does, prints one line saying why and fails.
# PAIRLY_WIN32_WINE=host or =root asks for that one alone; by default the machine's own is
# taken where it is installed.
#   sh cmake/wine32-route.sh [--full]
#     --full  also starts the root filesystem's Wine once (slower; a quick check otherwise)
here=$(dirname "$0")
loader=/usr/lib/wine/wine
choice=${PAIRLY_WIN32_WINE:-}
if [ -z "$choice" ]; then
  choice=host
  if [ ! -e "$loader" ] && [ -e "$(sh "$here/i386-root.sh" path)" ]; then
    choice=root
  fi
fi

# Why a Wine that did not start failed, from what it printed.
not_started() {
  case $1 in
    *"Exec format error"*)
      echo "this machine's kernel does not run 32-bit programs, so 32-bit Wine cannot start (Exec format error)" ;;
    *)
      echo "32-bit Wine does not start: $(printf '%s' "$1" | head -n 1)" ;;
  esac
}

case $choice in
  host)
    if [ ! -e "$loader" ]; then
      echo "32-bit Wine is not installed ($loader is missing; tools/install-deps.sh 32-bit installs it)"
      exit 1
    fi
    if ! output=$("$loader" --version 2>&1); then
      not_started "$output"
      exit 1
    fi ;;
  root)
    sh "$here/i386-root.sh" check || exit 1
    if [ "${1:-}" = --full ] && ! output=$(sh "$here/i386-root.sh" run "$loader" --version 2>&1); then
      not_started "$output"
      exit 1
    fi ;;
  *)
    echo "PAIRLY_WIN32_WINE must be host or root, not $choice"
    exit 1 ;;
esac
echo "$choice"
