#!/bin/sh
# check-imports.sh OBJDUMP EXE: fails unless EXE is a GUI-subsystem program that imports
# Windows system DLLs only, and says which it imports.
set -eu
objdump=$1 exe=$2
headers=$("$objdump" -p "$exe")
echo "$headers" | grep -q '^Subsystem[[:space:]]*00000002' || { echo "not a GUI program: $exe" >&2; exit 1; }
dlls=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
[ -n "$dlls" ] || { echo "no imports found in $exe" >&2; exit 1; }
status=0
for dll in $dlls; do
  case $dll in
    kernel32.dll|user32.dll|gdi32.dll|comctl32.dll|ole32.dll|oleaut32.dll|msvcrt.dll|\
    windowscodecs.dll|advapi32.dll|shell32.dll|shlwapi.dll|version.dll|uxtheme.dll|\
    api-ms-win-*.dll) echo "ok: $dll" ;;
    *) echo "not a Windows system DLL: $dll" >&2; status=1 ;;
  esac
done
exit $status
