#!/usr/bin/env bash
# The stub and the uninstaller may import only DLLs that Windows always takes from the system
# folder; everything else is loaded at run time by its full path.
set -euo pipefail
exe=$1
allowed="kernel32 user32 gdi32 advapi32 shell32 ole32 oleaut32 comdlg32 shlwapi msvcrt comctl32"
status=0
dlls=$(i686-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ {print tolower($3)}')
[ -n "$dlls" ] || { echo "no imports found in $exe"; exit 1; }
for dll in $dlls; do
  name=${dll%.dll}
  if [[ " $allowed " == *" $name "* ]]; then
    echo "ok: $dll"
  else
    echo "NOT ALLOWED: $dll"
    status=1
  fi
done
exit $status
