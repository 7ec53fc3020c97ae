# Sourced by the scripts that let root run what a file holds (the i386 emulator, the i386 root
# filesystem). root_owned PATH KIND: PATH is a KIND ("directory", "regular file") owned by root
# and writable by no one else, and so is every directory above it, except that a directory
# root owns with the sticky bit set (/tmp) may be writable by all: there no one else can
# rename or remove what root put in it.
# stat's kind names follow the locale ("Verzeichnis"): read them in C's.
kind_of() { LC_ALL=C stat -c %F -- "$1" 2>/dev/null; }
writable_by_others() {
  [ $((0$(stat -c %a -- "$1") & 022)) -ne 0 ]
}
root_owned() {
  [ "$(kind_of "$1")" = "$2" ] && [ "$(stat -c %u -- "$1")" -eq 0 ] &&
    ! writable_by_others "$1" || return 1
  above=$(dirname -- "$1")
  while :; do
    [ "$(kind_of "$above")" = directory ] &&
      [ "$(stat -c %u -- "$above")" -eq 0 ] || return 1
    if writable_by_others "$above"; then
      [ $((0$(stat -c %a -- "$above") & 01000)) -ne 0 ] || return 1
    fi
    [ "$above" != / ] || return 0
    above=$(dirname -- "$above")
  done
}
