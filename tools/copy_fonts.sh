#!/bin/sh
# Copies the two fonts PAIRLY Calc embeds from Debian's font packages into resources/fonts/,
# with their licences. Run after: apt-get install -y fonts-league-spartan fonts-dosis
#   League Spartan Black  a heavy geometric sans, shown where "Zurich BlkEx BT" is missing
#   Dosis Bold            a rounded display face, shown where "Tubular" is missing
set -eu
cd "$(dirname "$0")/.."
out=resources/fonts
mkdir -p "$out"
cp /usr/share/fonts/opentype/league-spartan/LeagueSpartan-Black.otf "$out/"
cp /usr/share/doc/fonts-league-spartan/copyright "$out/LeagueSpartan-LICENSE.txt"
cp /usr/share/fonts/opentype/dosis/Dosis-Bold.otf "$out/"
cp /usr/share/doc/fonts-dosis/copyright "$out/Dosis-LICENSE.txt"
