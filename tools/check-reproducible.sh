#!/bin/sh
# Builds the release twice, from two copies of the source tree in different directories with
# fresh build trees, and fails unless the zip and every executable are byte-identical.
# Prints the SHA-256 sums. Copies the checkout's tracked and new files as they are now.
#   sh tools/check-reproducible.sh
set -eu
cd "$(dirname "$0")/.."
sh tools/install-deps.sh
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
export SOURCE_DATE_EPOCH

scratch=$(mktemp -d "${TMPDIR:-/tmp}/pairly-repro.XXXXXX")
trap 'rm -rf "$scratch"' EXIT INT TERM
first=$scratch/one/src
second=$scratch/another/much/longer/path/pairly-calc
for copy in "$first" "$second"; do
  mkdir -p "$copy"
  git ls-files -z --cached --others --exclude-standard |
    xargs -0 sh -c 'for f; do [ -e "$f" ] && printf "%s\0" "$f"; done' sh |
    tar --null -T - -cf - | tar -xf - -C "$copy"
  echo "== release in $copy"
  sh "$copy/tools/release.sh" >"$copy.log" 2>&1 || { tail -n 30 "$copy.log"; exit 1; }
done

status=0
for sums in "$first/dist/SHA256SUMS" "$second/dist/SHA256SUMS"; do
  echo "-- $sums"
  cat "$sums"
done
if ! cmp "$first/dist/SHA256SUMS" "$second/dist/SHA256SUMS"; then
  status=1
fi
for file in $(cd "$first/dist" && ls); do
  cmp "$first/dist/$file" "$second/dist/$file" || status=1
done
if [ "$status" -ne 0 ]; then
  echo "check-reproducible: the two builds differ" >&2
  exit 1
fi
echo "check-reproducible: both builds byte-identical"
