#!/bin/sh
# An i386 Debian root filesystem with 32-bit Wine inside, for machines that cannot install
# 32-bit Wine themselves (tools/make-i386-root.sh builds it). Root runs what it holds, so it
# is kept where only root can change it.
#   sh cmake/i386-root.sh path         prints where it is
#   sh cmake/i386-root.sh check        succeeds silently where it is complete and root's alone;
#                                      elsewhere prints one line why not and fails: status 1
#                                      where it is missing or unfinished, 2 where it is not
#                                      root's alone (it is then never used or replaced)
#   sh cmake/i386-root.sh run CMD...   runs CMD inside it as the caller, in the caller's working
#                                      directory and environment; standard input, output, error
#                                      and the exit status pass through
# Inside, the machine's own files are where they are outside: every top-level directory that
# is not part of the system (/home, /root, /tmp, /work...) and /var/tmp, with /dev, /proc,
# /sys and /etc/hosts. Needs root, or sudo without a password.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=${PAIRLY_I386_ROOT:-/var/lib/pairly-calc/i386-root}
# Written last when the root filesystem is built: its presence means the build finished.
stamp=etc/pairly-i386-root

check() {
  . "$here/root-owned.sh"
  if [ ! -e "$root" ]; then
    echo "there is no i386 root filesystem ($root; tools/install-deps.sh 32-bit builds it)"
    return 1
  fi
  if ! root_owned "$root" directory; then
    echo "the i386 root filesystem $root or a directory above it is not root's alone, so it is not used"
    return 2
  fi
  if [ ! -f "$root/$stamp" ] || [ ! -x "$root/usr/lib/wine/wine" ]; then
    echo "the i386 root filesystem $root is unfinished"
    return 1
  fi
}

# The system's own top-level directories, which come from the root filesystem itself.
system_dirs=" bin boot dev etc lib lib32 lib64 libx32 lost+found proc run sbin sys usr var "

enter() {
  for dir in dev proc sys; do
    mount --rbind "/$dir" "$root/$dir"
  done
  [ ! -f /etc/hosts ] || mount --bind /etc/hosts "$root/etc/hosts"
  for dir in /* /var/tmp; do
    name=${dir#/}
    case $system_dirs in *" $name "*) continue ;; esac
    [ -d "$dir" ] && [ ! -L "$dir" ] || continue
    # A mount point in the root filesystem for a folder of this machine's: an empty folder.
    [ -d "$root$dir" ] || mkdir -p -m 0755 "$root$dir"
    mount --rbind "$dir" "$root$dir"
  done
  userspec=""
  [ -z "${SUDO_UID:-}" ] || userspec=--userspec=$SUDO_UID:$SUDO_GID
  exec chroot $userspec "$root" /bin/sh -c '
    cd "$1" 2>/dev/null || cd /
    shift
    exec "$@"' sh "$PWD" /usr/bin/env -u LD_PRELOAD -u LD_LIBRARY_PATH \
    PATH=/usr/local/bin:/usr/bin:/bin "$@"
}

action=${1:-}
[ $# -eq 0 ] || shift
case $action in
  path) echo "$root" ;;
  check) check ;;
  run)
    if [ "$(id -u)" -ne 0 ]; then
      # The caller's environment (display, prefix, locale, the tests' settings) goes in too.
      exec sudo -n -E sh "$0" run "$@"
    fi
    check >&2 || exit 1
    # A mount namespace of the command's own (unshare makes its mounts private): the folders
    # mounted inside go with it.
    exec unshare --mount sh "$0" enter "$@" ;;
  enter) enter "$@" ;;
  *)
    echo "usage: sh cmake/i386-root.sh path|check|run COMMAND..." >&2
    exit 2 ;;
esac
