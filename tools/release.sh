#!/bin/sh
# Builds the release: dist/pairly-calc-VERSION.zip with the 32-bit and 64-bit Windows
# executables, the README and the licences, and dist/SHA256SUMS for the zip and each
# executable. The same source gives the same bytes on any machine and in any directory:
# fresh build trees, no time stamps in the executables, source paths mapped to ".", file
# times set to SOURCE_DATE_EPOCH (the last commit's time unless given), sorted zip entries.
#   sh tools/release.sh
set -eu
cd "$(dirname "$0")/.."
source_dir=$(pwd)
export TZ=UTC LC_ALL=C
umask 022
sh tools/install-deps.sh

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null) || {
    echo "release: not a git checkout; set SOURCE_DATE_EPOCH" >&2
    exit 1
  }
fi
export SOURCE_DATE_EPOCH

# "1.00" from project(... VERSION 1.0): the minor number as two digits.
version=$(sed -n 's/^project(PairlyCalc VERSION \([0-9]*\)\.\([0-9]*\).*/\1 \2/p' CMakeLists.txt |
          { read -r major minor; printf '%s.%02d' "$major" "$minor"; })
name=pairly-calc-$version

stage=build/release-stage
rm -rf "$stage" dist
mkdir -p "$stage/$name" dist

found=0
for arch in win32 win64; do
  case $arch in
    win32) toolchain=cmake/mingw-i686.cmake ;;
    win64) toolchain=cmake/mingw-x86_64.cmake ;;
  esac
  build=build/release-$arch
  rm -rf "$build"
  cmake -S . -B "$build" -G "Unix Makefiles" --toolchain "$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DPAIRLY_TESTS=OFF \
    "-DCMAKE_CXX_FLAGS=-ffile-prefix-map=$source_dir=." >/dev/null
  targets=""
  for target in pairly-calc pairly-score; do
    # The window program comes with its own target; take whichever exist.
    if grep -q "^$target:" "$build/Makefile"; then targets="$targets $target"; fi
  done
  [ -n "$targets" ] || continue
  # shellcheck disable=SC2086
  cmake --build "$build" -j2 --target $targets
  objdump=$(sed -n 's/^set(CMAKE_CXX_COMPILER \(.*\)-g++-posix)$/\1-objdump/p' "$toolchain")
  mkdir -p "$stage/$name/$arch"
  for target in $targets; do
    exe=$(find "$build" -name "$target.exe" -type f | head -n 1)
    [ -n "$exe" ] || { echo "release: $target.exe not built" >&2; exit 1; }
    # No link time in the header and none in the resource directories (windres writes 0).
    if ! "$objdump" -p "$exe" | grep -q '^Time/Date.*Jan  1 00:00:00 1970$' ||
       "$objdump" -p "$exe" | grep -E 'Table: .*Time: ' | grep -qv 'Time: 00000000'; then
      echo "release: $exe has a time stamp" >&2
      exit 1
    fi
    cp "$exe" "$stage/$name/$arch/$target.exe"
    found=$((found + 1))
  done
done
if [ "$found" -eq 0 ]; then
  echo "release: neither pairly-calc.exe nor pairly-score.exe was built" >&2
  exit 1
fi

cp README.md LICENSE "$stage/$name/"
# Licences of anything bundled (fonts, pictures), under the same paths as in the source.
find resources -type f \( -iname '*licen[cs]e*' -o -iname '*copying*' -o -iname '*notice*' \) |
  while read -r file; do
    mkdir -p "$stage/$name/$(dirname "$file")"
    cp "$file" "$stage/$name/$file"
  done

find "$stage" -type d -exec chmod 755 {} +
find "$stage" -type f -exec chmod 644 {} +
find "$stage" -type f -name '*.exe' -exec chmod 755 {} +
find "$stage" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +

zip_file=$source_dir/dist/$name.zip
(cd "$stage" && find "$name" -type f | sort | zip -X -D -q -9 "$zip_file" -@)
touch -d "@$SOURCE_DATE_EPOCH" "$zip_file"

(cd "$stage" && find "$name" -type f -name '*.exe' | sort | xargs sha256sum) > dist/SHA256SUMS.tmp
(cd dist && sha256sum "$name.zip" && cat SHA256SUMS.tmp) > dist/SHA256SUMS
rm dist/SHA256SUMS.tmp
touch -d "@$SOURCE_DATE_EPOCH" dist/SHA256SUMS
echo "release: dist/$name.zip (SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH)"
cat dist/SHA256SUMS
