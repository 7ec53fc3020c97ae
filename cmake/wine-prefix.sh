#!/bin/sh
# wine-prefix.sh PREFIX
# Makes a Wine prefix ready for the program: created on first use, with Wine's own fonts in its
# Fonts folder, as Windows keeps its own. Debian's Wine 8 looks for them beside its data folder,
# where Debian does not put them (fonts-wine installs them in /usr/share/wine/fonts), so without
# this every window's caption buttons lose their symbol font (Marlett) and show a letter where
# the close button's cross belongs, and MS Sans Serif, Tahoma and the bitmap system fonts fall
# back to other faces.
set -eu
export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine_fonts=/usr/share/wine/fonts
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  "${PAIRLY_WINE_LOADER:-/usr/lib/wine/wine64}" wineboot -i </dev/null >/dev/null 2>&1
fi
if [ ! -f "$wine_fonts/marlett.ttf" ]; then
  echo "wine-prefix.sh: $wine_fonts/marlett.ttf is missing (the fonts-wine package)" >&2
  exit 1
fi
fonts=$WINEPREFIX/drive_c/windows/Fonts
mkdir -p "$fonts"
for font in "$wine_fonts"/*; do
  [ -e "$fonts/${font##*/}" ] || ln -sf "$font" "$fonts/"
done
