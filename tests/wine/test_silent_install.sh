#!/usr/bin/env bash
# A silent installation of a package built by the authoring tool places every
# file with its content, time and attributes; /P= chooses the folder (also
# quoted with blanks); variables in destinations expand.
source "$(dirname "$0")/lib.sh"
qb_begin

m=$QB_TMP/m
mkdir -p "$m/app/docs/deep" "$m/extra"
echo "main program" >"$m/app/tool.txt"
head -c 200000 /dev/urandom >"$m/app/data.bin"
echo "guide" >"$m/app/docs/guide.txt"
echo "deep" >"$m/app/docs/deep/deep.txt"
echo "locked" >"$m/app/locked.txt"
chmod a-w "$m/app/locked.txt"
for f in pf sd reg regdefault short; do echo "$f" >"$m/extra/$f.txt"; done
touch -d '2024-03-05 14:30:20' "$m/app/tool.txt"
cat >"$m/m.toml" <<'TOML'
[app]
name = "Silent Test"
version = "1.0"
destination = "{pf}\\Silent Test"

[[registry_variables]]
name = "where"
root = "HKCU"
key = "Software\\QuillboxTest"
value = "Dir"
default = "{app}\\fromdefault"

[[registry_variables]]
name = "missing"
root = "HKLM"
key = "Software\\NoSuchKey"
default = "{sysdrive}\\fallback"

[[files]]
source = "app/**"

[[files]]
source = "extra/pf.txt"
destination = "{pf}\\QB Common"

[[files]]
source = "extra/sd.txt"
destination = "{sysdrive}\\qbroot"

[[files]]
source = "extra/reg.txt"
destination = "{reg:where}"

[[files]]
source = "extra/regdefault.txt"
destination = "{reg:missing}"

[[files]]
source = "extra/short.txt"
destination = "{app:short}\\viashort"
TOML
qb_tool build "$m/m.toml" -o "$QB_TMP/setup.exe" >/dev/null
C=$WINEPREFIX/drive_c

check_tree() {
  local dest=$1 what=$2
  expect_same_file "$m/app/tool.txt" "$dest/tool.txt" "$what: tool.txt"
  expect_same_file "$m/app/data.bin" "$dest/data.bin" "$what: data.bin"
  expect_same_file "$m/app/docs/deep/deep.txt" "$dest/docs/deep/deep.txt" "$what: file two folders down"
  expect_same_file "$m/app/docs/guide.txt" "$dest/docs/guide.txt" "$what: guide"
}

# 1. The default destination, with a registry variable set in the registry.
wine reg add 'HKCU\Software\QuillboxTest' /v Dir /d 'C:\from registry' /f >/dev/null
wineserver -w
rc=0
wine "$QB_TMP/setup.exe" /S || rc=$?
expect_eq "$rc" 0 "silent run exit code"
check_tree "$C/$QB_PF/Silent Test" "default destination"
expect_same_file "$m/extra/pf.txt" "$C/$QB_PF/QB Common/pf.txt" "{pf}"
expect_same_file "$m/extra/sd.txt" "$C/qbroot/sd.txt" "{sysdrive}"
expect_same_file "$m/extra/reg.txt" "$C/from registry/reg.txt" "{reg:where} from the registry"
expect_same_file "$m/extra/regdefault.txt" "$C/fallback/regdefault.txt" "{reg:missing} takes its default"
# The destination exists by then, so its short form does too.
short=$(find "$C" -maxdepth 5 -path '*viashort/short.txt' | head -1)
[ -n "$short" ] || fail "{app:short} file missing"
expect_same_file "$m/extra/short.txt" "$short" "{app:short}"
cabtest() { wine "$QB_WIN/tests/win/cabtest.exe" "$@" | tr -d '\r'; }
expect_eq "$(cabtest stat "C:\\$QB_PF\\Silent Test\\tool.txt" | cut -d' ' -f2)" \
  "written=2024-03-05" "file date"
expect_eq "$(cabtest stat "C:\\$QB_PF\\Silent Test\\tool.txt" | cut -d' ' -f3)" \
  "14:30:20" "file time"
expect_eq "$(cabtest stat "C:\\$QB_PF\\Silent Test\\locked.txt" | cut -d' ' -f1)" "attr=21" \
  "read-only attribute kept"
[ ! -e "$QB_WORK" ] || fail "working folder left: $(ls -A "$QB_WORK")"
[ -z "$(find "$C" -name '*.qbpart')" ] || fail "temporary files left"
echo "ok: working folder removed, no temporary files"

# 2. /P= with blanks, the whole parameter quoted; the registry variable's
#    default follows the chosen folder.
wine reg delete 'HKCU\Software\QuillboxTest' /f >/dev/null
wineserver -w
rc=0
wine "$QB_TMP/setup.exe" /S '/P=C:\My Apps\Silent' || rc=$?
expect_eq "$rc" 0 "exit code with /P="
check_tree "$C/My Apps/Silent" "/P= with blanks"
expect_same_file "$m/extra/reg.txt" "$C/My Apps/Silent/fromdefault/reg.txt" "{reg:where} default with {app}"

# 3. A trailing backslash and a lower-case option.
rc=0
wine "$QB_TMP/setup.exe" /s '/p=C:\Other\' || rc=$?
expect_eq "$rc" 0 "exit code with /p="
check_tree "$C/Other" "/p= with a trailing backslash"
