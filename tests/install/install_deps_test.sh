#!/bin/sh
# The install script's decisions, made against stand-in package tools first on PATH that record
# what they are asked; the machine's own packages are never touched.
#   sh tests/install/install_deps_test.sh
set -eu
script=$(cd "$(dirname "$0")/../.." && pwd)/tools/install-deps.sh
scratch=$(mktemp -d "${TMPDIR:-/tmp}/pairly-install-test.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
bin=$scratch/bin
mkdir -p "$bin"

# The stand-ins keep their state in $STANDIN: "installed" (or "all-installed": everything is),
# "unresolvable" (what apt-get cannot install), "update-fails", "foreign-architectures", and
# "calls", every call that could change the machine.
cat >"$bin/dpkg-query" <<'EOF'
#!/bin/sh
for package; do :; done
if [ -e "$STANDIN/all-installed" ] || grep -qx "$package" "$STANDIN/installed" 2>/dev/null; then
  echo "install ok installed"
else
  exit 1
fi
EOF
cat >"$bin/dpkg" <<'EOF'
#!/bin/sh
case $1 in
  --print-foreign-architectures) cat "$STANDIN/foreign-architectures" 2>/dev/null || true ;;
  *) echo "dpkg $*" >>"$STANDIN/calls" ;;
esac
EOF
cat >"$bin/apt-get" <<'EOF'
#!/bin/sh
command="" simulate="" packages="" skip=""
for arg; do
  if [ -n "$skip" ]; then skip=""; continue; fi
  case $arg in
    -o) skip=1 ;;
    -s) simulate=1 ;;
    -*) ;;
    *) if [ -z "$command" ]; then command=$arg; else packages="$packages $arg"; fi ;;
  esac
done
[ -n "$simulate" ] || echo "apt-get $command$packages" >>"$STANDIN/calls"
case $command in
  update)
    if [ -e "$STANDIN/update-fails" ]; then
      echo "E: Failed to fetch http://mirror.example/debian/dists/bookworm/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 192.0.2.1 80]"
      echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
      exit 100
    fi ;;
  install)
    for package in $packages; do
      if grep -qx "$package" "$STANDIN/unresolvable" 2>/dev/null; then
        echo " $package : Depends: libexample but it is not going to be installed"
        echo "E: Unable to correct problems, you have held broken packages."
        exit 100
      fi
    done
    # "package-" asks apt to leave that package out
    [ -n "$simulate" ] || printf '%s\n' $packages | grep -v -- '-$' >>"$STANDIN/installed" ;;
esac
EOF
cat >"$bin/sudo" <<'EOF'
#!/bin/sh
[ "$1" != -n ] || shift
exec "$@"
EOF
cat >"$bin/locale" <<'EOF'
#!/bin/sh
printf '%s\n' C en_US.utf8 de_DE.utf8 ja_JP.utf8 ru_RU.utf8 cs_CZ.utf8
EOF
printf '#!/bin/sh\necho "locale-gen" >>"$STANDIN/calls"\n' >"$bin/locale-gen"
printf '#!/bin/sh\necho "sleep $*" >>"$STANDIN/calls"\n' >"$bin/sleep"
# The i386 root filesystem's tools: this kernel runs i386 programs; mmdebstrap makes a tree with
# a Wine in it (failing where "security-fails" is there and a source names the security suite);
# the mount namespace, mounts and chroot only say what they would run.
printf '#!/bin/sh\necho "i386: ok"\n' >"$bin/arch-test"
cat >"$bin/mmdebstrap" <<'EOF2'
#!/bin/sh
for arg; do
  case $arg in --*) ;; *) set -- "$@" "$arg" ;; esac
  shift
done
target=$2
shift 2
echo "mmdebstrap $(cat "$@" | sed -n 's/^Suites: //p' | tr '\n' ' ')" >>"$STANDIN/calls"
if [ -e "$STANDIN/security-fails" ] && cat "$@" | grep -q -- -security; then
  echo "E: Failed to fetch http://mirror.example/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 192.0.2.1 80]"
  exit 1
fi
mkdir -p "$target/etc" "$target/usr/lib/wine"
printf '# de_DE.UTF-8 UTF-8\n# en_US.UTF-8 UTF-8\n' >"$target/etc/locale.gen"
printf '#!/bin/sh\n' >"$target/usr/lib/wine/wine"
chmod +x "$target/usr/lib/wine/wine"
EOF2
printf '#!/bin/sh\nwhile [ "${1#-}" != "$1" ]; do shift; done\nexec "$@"\n' >"$bin/unshare"
printf '#!/bin/sh\n' >"$bin/mount"
cat >"$bin/chroot" <<'EOF2'
#!/bin/sh
[ "${1#--userspec}" = "$1" ] || shift
shift
echo "chroot $1" >>"$STANDIN/calls"
for arg; do :; done
[ "$arg" != --version ] || echo wine-8.0
EOF2
chmod +x "$bin"/*

failures=0
check() {  # check DESCRIPTION COMMAND...
  description=$1
  shift
  if "$@"; then
    echo "ok - $description"
  else
    echo "not ok - $description"
    failures=$((failures + 1))
  fi
}

# Runs the install script for SET in a fresh stand-in machine prepared by the caller's
# files; leaves its exit status in status, its standard output in out, its errors in err.
run_install() {  # run_install SET
  status=0
  PATH="$bin:$PATH" STANDIN=$STANDIN sh "$script" "$1" >"$STANDIN/out" 2>"$STANDIN/err" || status=$?
  out=$(cat "$STANDIN/out")
  err=$(cat "$STANDIN/err")
  calls=$(cat "$STANDIN/calls" 2>/dev/null || true)
}

new_machine() {
  STANDIN=$scratch/$1
  mkdir -p "$STANDIN/apt"
  # This machine's apt sources, as the root filesystem's build reads them.
  printf 'deb http://mirror.example/debian %s main\n' bookworm bookworm-updates >"$STANDIN/apt/sources.list"
  printf 'deb http://mirror.example/debian-security bookworm-security main\n' >>"$STANDIN/apt/sources.list"
  PAIRLY_I386_ROOT=$STANDIN/i386-root
  PAIRLY_APT_SOURCES_DIR=$STANDIN/apt
  export STANDIN PAIRLY_I386_ROOT PAIRLY_APT_SOURCES_DIR
}

# Everything there: no package tool is asked to change anything, nothing is printed.
new_machine all-there
touch "$STANDIN/all-installed"
run_install test
check "everything installed: no package manager call" \
  test "$status:$calls:$out$err" = "0::"

# The index update fails (a mirror mid-sync) but the packages install from what did download.
# i386 packages are enabled, as the 32-bit step leaves them.
new_machine update-fails
touch "$STANDIN/update-fails"
echo i386 >"$STANDIN/foreign-architectures"
run_install run
check "failing update: tried three times with a pause, then the install goes on" \
  test "$status" -eq 0 -a "$(echo "$calls" | grep -c '^apt-get update$')" -eq 3 \
  -a "$(echo "$calls" | grep -c '^sleep')" -eq 2
check "failing update: the run packages are installed without 32-bit Wine, which wine64 recommends" \
  sh -c 'grep -qx wine64 "$STANDIN/installed" && ! grep -qx wine32:i386 "$STANDIN/installed" &&
    grep -q "^apt-get install .* wine32:i386-$" "$STANDIN/calls"'
check "failing update: reported in one line" \
  sh -c '[ "$(wc -l <"$STANDIN/err" | tr -d " ")" -eq 2 ] &&
    grep -q "update failed (Failed to fetch .../dists/bookworm/main/binary-i386/Packages.xz File has unexpected size (374820 != 376004). Mirror sync in progress?)" "$STANDIN/err"'

# 32-bit Wine cannot be resolved, and only the machine's own is asked for: one line with apt's
# reason, and a status the caller can take as "not available" rather than as a failure of its own.
new_machine no-wine32
echo wine32:i386 >"$STANDIN/unresolvable"
PAIRLY_WIN32_WINE=host run_install 32-bit
check "unresolvable wine32:i386: i386 enabled, then one line with apt's reason, status 1" \
  test "$status" -eq 1 -a "$(echo "$calls" | head -n 1)" = "dpkg --add-architecture i386" \
  -a "$out" = "wine32:i386 cannot be installed: Unable to correct problems, you have held broken packages"

if [ "$(id -u)" -eq 0 ]; then
  # ...and by default the i386 root filesystem is built instead, from this machine's mirrors;
  # where the security suite's index cannot be had, from the release and its updates alone.
  new_machine root-built
  echo wine32:i386 >"$STANDIN/unresolvable"
  touch "$STANDIN/security-fails"
  run_install 32-bit
  check "no wine32:i386: the root filesystem is built, again without the security suite" \
    test "$status" -eq 0 -a "$(echo "$calls" | grep '^mmdebstrap' | tr '\n' '|')" = \
    "mmdebstrap bookworm bookworm-updates bookworm-security |mmdebstrap bookworm bookworm-updates |"
  check "no wine32:i386: finished, with the test locales generated inside" \
    sh -c 'test -f "$PAIRLY_I386_ROOT/etc/pairly-i386-root" && ! test -e "$PAIRLY_I386_ROOT.partial" &&
      grep -qx "en_US.UTF-8 UTF-8" "$PAIRLY_I386_ROOT/etc/locale.gen" &&
      grep -qx "chroot /usr/sbin/locale-gen" "$STANDIN/calls"'
  check "no wine32:i386: one line says which route and why" test "$(echo "$out" | wc -l)" -eq 1 \
    -a -z "${out##"32-bit Wine: an i386 Debian root filesystem built in $PAIRLY_I386_ROOT ("*"MB, without bookworm-security (Failed to fetch .../dists/bookworm-security/main/binary-i386/Packages.xz File has unexpected size (374820 != 376004). Mirror sync in progress?): for our own test programs only); wine32:i386 cannot be installed: Unable to correct problems, you have held broken packages"}"

  # A root filesystem built before is checked and reused, never built again.
  calls_before=$(grep -c '^mmdebstrap' "$STANDIN/calls")
  run_install 32-bit
  check "a finished root filesystem is reused" test "$status" -eq 0 \
    -a "$(grep -c '^mmdebstrap' "$STANDIN/calls")" -eq "$calls_before" -a -z "${out##*"reused, as built before, in $PAIRLY_I386_ROOT; "*}"

  # One that someone else could change is neither used nor replaced.
  chown -R 65534 "$PAIRLY_I386_ROOT"
  run_install 32-bit
  check "a root filesystem owned by another user is refused" test "$status" -eq 1 \
    -a "$(grep -c '^mmdebstrap' "$STANDIN/calls")" -eq "$calls_before" \
    -a -f "$PAIRLY_I386_ROOT/etc/pairly-i386-root" -a -z "${out##*"is not root's alone, so it is not used"}"
else
  echo "skip - the i386 root filesystem's cases need root"
fi

# A required package cannot be resolved: the script fails, naming it (and only it).
new_machine no-xvfb
echo xvfb >"$STANDIN/unresolvable"
run_install test
check "unresolvable required package: fails, naming it and apt's error" \
  test "$status" -eq 1 -a "$(echo "$err" | tail -n 1)" = "install-deps: cannot install xvfb: Unable to correct problems, you have held broken packages"

[ "$failures" -eq 0 ] || { echo "install_deps_test: $failures failed"; exit 1; }
echo "install_deps_test: all passed"
