#!/bin/sh
# Prints, as deb822 paragraphs, the entries of this machine's own apt sources that give the
# main component of the named suites: the first mirror named for each suite, with the key the
# entry names (a keyring file or a key written out in the entry). One-line sources.list files
# and deb822 .sources files alike; disabled entries and deb-src are left out. A suite that no
# entry names prints nothing.
#   sh tools/apt-sources.sh [--as SUITE] SUITE...
#     --as SUITE  prints each entry found with SUITE as its suite instead (the same mirror for
#                 another release)
# Used to build what apt fetches from the mirror this machine is configured with, without
# changing its sources.
set -eu
rename=""
if [ "${1:-}" = --as ]; then
  rename=$2
  shift 2
fi
wanted=" $* "
sources_dir=${PAIRLY_APT_SOURCES_DIR:-/etc/apt}

# Every enabled deb entry with main, one suite a record: URI, suite, then the key (a file
# name after "file:", or an inline key's lines, joined by "\n"), separated by tabs.
entries() {
  set -- "$sources_dir/sources.list" "$sources_dir"/sources.list.d/*.list
  for list; do
    [ -f "$list" ] || continue
    awk '
      $1 == "deb" {
        options = ""; i = 2
        if ($2 ~ /^\[/) {
          while (i <= NF) { options = options " " $i; if ($i ~ /\]$/) break; i++ }
          i++
        }
        for (j = i + 2; j <= NF; j++) if ($j == "main") break
        if (j > NF) next
        key = ""
        if (match(options, /signed-by=[^] ]+/)) key = "file:" substr(options, RSTART + 10, RLENGTH - 10)
        printf "%s\t%s\t%s\n", $i, $(i + 1), key
      }' "$list"
  done
  for sources in "$sources_dir"/sources.list.d/*.sources; do
    [ -f "$sources" ] || continue
    # Paragraphs of "Field: value" lines; a Signed-By may go on over indented lines (a key).
    awk '
      function finish(   n, all, k) {
        if (types ~ /(^| )deb( |$)/ && (" " components " ") ~ / main / && enabled != "no" && uri != "") {
          n = split(suites, all, /[ \t]+/)
          for (k = 1; k <= n; k++) if (all[k] != "") printf "%s\t%s\t%s\n", uri, all[k], signed
        }
        types = suites = components = enabled = uri = signed = ""; field = ""
      }
      /^[ \t]*$/ { finish(); next }
      /^#/ { next }
      /^[ \t]/ { if (field == "signed-by") signed = signed "\\n" $0; next }
      {
        field = tolower(substr($0, 1, index($0, ":") - 1))
        value = substr($0, index($0, ":") + 1)
        sub(/^[ \t]+/, "", value); sub(/[ \t]+$/, "", value)
        if (field == "types") types = value
        else if (field == "uris") { split(value, all, /[ \t]+/); uri = all[1] }
        else if (field == "suites") suites = value
        else if (field == "components") components = value
        else if (field == "enabled") enabled = tolower(value)
        else if (field == "signed-by") signed = (value == "" ? "inline:" : "file:" value)
      }
      END { finish() }' "$sources"
  done
}

entries | awk -F '\t' -v wanted="$wanted" -v rename="$rename" '
  index(wanted, " " $2 " ") && !seen[$2]++ {
    if (printed++) print ""
    print "Types: deb"
    print "URIs: " $1
    print "Suites: " (rename != "" ? rename : $2)
    print "Components: main"
    if ($3 ~ /^file:/) print "Signed-By: " substr($3, 6)
    else if ($3 ~ /^inline:/) { key = substr($3, 8); gsub(/\\n/, "\n", key); print "Signed-By:" key }
  }'
