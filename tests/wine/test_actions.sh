#!/usr/bin/env bash
# Every installation action of a silent run, from a package built by the
# authoring tool: registry values and keys, INI entries, shortcuts read back
# through the shell link interface, programs before and after the files,
# fonts, component registration, and the uninstall log with the trailer.
source "$(dirname "$0")/lib.sh"
qb_begin

m=$QB_TMP/m
W=$QB_WIN/tests/win
mkdir -p "$m/bin" "$m/fonts" "$QB_TMP/dist"
cp "$W/qbprobe.exe" "$W/regmarker.dll" "$W/marker.dll" "$m/bin/"
cp "$W/qbmarker.exe" "$m/bin/uninstall.exe"
cp "$W/qbprobe.exe" "$QB_TMP/dist/"   # for the program that runs before any file exists
cp /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf "$m/fonts/qbtest.ttf"
cp /usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf "$m/fonts/other.ttf"
cp "$QB_SOURCE/examples/tally/pictures/header.bmp" "$m/"
cat >"$m/m.toml" <<'TOML'
[app]
name = "Actions Test"
version = "1"
title = "Actions Test"
destination = "C:\\Act"
group = "QB Group\\Nested"

[settings]
write_uninstall = true

[pictures]
header = "header.bmp"

[[files]]
source = "bin/*"

[[files]]
source = "fonts/qbtest.ttf"
destination = "{fonts}"

[[files]]
source = "fonts/other.ttf"
destination = "{app}\\fonts"
uninstall = false

[[folders]]
path = "{app}\\data"

[[folders]]
path = "{app}\\cache"
uninstall = false

[[registry]]
root = "HKCU"
key = "Software\\QBActions"
name = "Str"
value = "hello {app}"

[[registry]]
root = "HKCU"
key = "Software\\QBActions"
name = "Bin"
type = "binary"
value = "0a ff 10"

[[registry]]
root = "HKCU"
key = "Software\\QBActions"
name = "Dword"
type = "dword"
value = 17

[[registry]]
root = "HKCU"
key = "Software\\QBActions"
value = "the default"

[[registry]]
root = "HKCU"
key = "Software\\QBActions\\OnlyKey"
type = "key"

[[registry]]
root = "HKCU"
key = "Software\\QBActions"
name = "Keep"
value = "new"
overwrite = false

[[registry]]
root = "HKCU"
key = "Software\\QBActions"
name = "Replace"
value = "new"
uninstall = false

[[registry_keys]]
root = "HKCU"
key = "Software\\QBActions"
extra = "tree"

[[registry_keys]]
root = "HKCU"
key = "Software\\QBActions\\Runtime"
extra = "state"

[[ini]]
file = "{app}\\conf\\new.ini"
section = "Main"
key = "a"
value = "1"

[[ini]]
file = "C:\\ini\\old.ini"
section = "Main"
key = "keep"
value = "new"
overwrite = false

[[ini]]
file = "C:\\ini\\old.ini"
section = "Main"
key = "replace"
value = "new"

[[ini]]
file = "C:\\ini\\old.ini"
section = "Main"
key = "empty"
value = "filled"
overwrite = false
uninstall = false

[[shortcuts]]
location = "desktop"
name = "Act Desktop"
target = "{app}\\qbprobe.exe"
arguments = "one two"
description = "Probe on the desktop"
icon = "{app}\\uninstall.exe"
icon_index = 2
working_folder = "{app}\\data"

[[shortcuts]]
location = "group"
name = "Act Group"
target = "{app}\\qbprobe.exe"

[[shortcuts]]
location = "startmenu"
name = "Act Start"
target = "{app}\\qbprobe.exe"

[[shortcuts]]
location = "path"
name = "{app}\\links\\Act Path.lnk"
target = "{app}\\qbprobe.exe"

[[programs]]
file = "{src}\\qbprobe.exe"
parameters = "C:\\before.txt C:\\Act\\qbprobe.exe"
when = "install-start"
wait = true

[[programs]]
file = "{app}\\qbprobe.exe"
parameters = "C:\\after.txt C:\\Act\\data 1500"
when = "install-end"
wait = true

[[programs]]
file = "{app}\\qbprobe.exe"
parameters = "C:\\nowait.txt C:\\Act 4000"
when = "install-end"

[[programs]]
file = "{app}\\no such program.exe"
when = "install-end"
wait = true

[[programs]]
file = "{app}\\qbprobe.exe"
parameters = "C:\\never1.txt x"
when = "uninstall-start"

[[programs]]
file = "{app}\\qbprobe.exe"
parameters = "C:\\never2.txt x"
when = "uninstall-end"
wait = true

[[fonts]]
name = "QB Test Sans (TrueType)"
file = "{fonts}\\qbtest.ttf"

[[fonts]]
name = "QB Other (TrueType)"
file = "{app}\\fonts\\other.ttf"

[[fonts]]
name = "QB Keep (TrueType)"
file = "{fonts}\\qbtest.ttf"

[[components]]
file = "{app}\\regmarker.dll"

[[components]]
file = "{app}\\marker.dll"
uninstall = false

[[uninstall_extras]]
key = "mode"
value = "{app}"
TOML
qb_tool build "$m/m.toml" -o "$QB_TMP/dist/setup.exe" >/dev/null
C=$WINEPREFIX/drive_c

# What is there before: values and entries that must be kept or replaced.
wine reg add 'HKCU\Software\QBActions' /v Keep /d old /f >/dev/null
wine reg add 'HKCU\Software\QBActions' /v Replace /d old /f >/dev/null
wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\Fonts' /v 'QB Keep (TrueType)' /d keep.ttf /f >/dev/null
mkdir -p "$C/ini"
printf '[Main]\r\nkeep=old\r\nreplace=old\r\nempty=\r\n' >"$C/ini/old.ini"
wineserver -w

rc=0
wine "$QB_TMP/dist/setup.exe" /S || rc=$?
expect_eq "$rc" 0 "exit code"
# A waited-for program has finished when the installer ends; one that is
# not waited for has not.
expect_eq "$(cat "$C/after.txt" 2>/dev/null)" "exists" "the waited program ran after the folders"
[ ! -e "$C/nowait.txt" ] || fail "the installer waited for a program that does not ask for it"
echo "ok: a program without wait was not waited for"
expect_eq "$(cat "$C/before.txt")" "missing" "the install-start program ran before any file"
wineserver -w
expect_eq "$(cat "$C/nowait.txt" 2>/dev/null)" "exists" "the program without wait ran"
[ ! -e "$C/never1.txt" ] && [ ! -e "$C/never2.txt" ] || fail "an uninstall-time program was started"
echo "ok: uninstall-time programs never start"

reg() {  # reg KEY VALUE: the type and data of a registry value ("" for the default)
  local which=(/ve)
  [ -n "$2" ] && which=(/v "$2")
  wine reg query "$1" "${which[@]}" 2>/dev/null | tr -d '\r' | grep -E 'REG_' | head -1 |
    sed -E 's/^ +//; s/ {4}/|/g'
}
K='HKCU\Software\QBActions'
expect_eq "$(reg "$K" Str)" "Str|REG_SZ|hello C:\\Act" "string value, expanded"
expect_eq "$(reg "$K" Bin)" "Bin|REG_BINARY|0AFF10" "binary value"
expect_eq "$(reg "$K" Dword)" "Dword|REG_DWORD|0x11" "double word value"
expect_eq "$(reg "$K" "")" "(Default)|REG_SZ|the default" "the key's default value"
wine reg query "$K\\OnlyKey" >/dev/null 2>&1 || fail "the key-only record made no key"
echo "ok: key-only record"
expect_eq "$(reg "$K" Keep)" "Keep|REG_SZ|old" "overwrite off keeps the value"
expect_eq "$(reg "$K" Replace)" "Replace|REG_SZ|new" "overwrite on replaces it"

expect_eq "$(tr -d '\r' <"$C/Act/conf/new.ini")" "$(printf '[Main]\na=1')" "INI: a new file in a new folder"
expect_eq "$(tr -d '\r' <"$C/ini/old.ini")" "$(printf '[Main]\nkeep=old\nreplace=new\nempty=filled')" \
  "INI: kept, replaced and filled"

F='HKLM\Software\Microsoft\Windows NT\CurrentVersion\Fonts'
expect_eq "$(reg "$F" 'QB Test Sans (TrueType)')" "QB Test Sans (TrueType)|REG_SZ|qbtest.ttf" \
  "a font in the Fonts folder by file name"
expect_eq "$(reg "$F" 'QB Other (TrueType)')" "QB Other (TrueType)|REG_SZ|C:\\Act\\fonts\\other.ttf" \
  "a font elsewhere by full path"
expect_eq "$(reg "$F" 'QB Keep (TrueType)')" "QB Keep (TrueType)|REG_SZ|keep.ttf" "an existing font entry kept"

[ -e "$C/Act/regmarker.dll.registered" ] || fail "DllRegisterServer was not called"
echo "ok: component registered"

user=$(qb_user_dir)
lnk() { wine "$W/lnkinfo.exe" "$1" | tr -d '\r'; }
desktop=$(find "$user" "$C/users/Public" -name 'Act Desktop.lnk' | head -1)
[ -n "$desktop" ] || fail "no desktop shortcut"
expect_eq "$(lnk "$(qb_win "$desktop")")" "$(printf 'target=C:\\Act\\qbprobe.exe\narguments=one two\nfolder=C:\\Act\\data\ndescription=Probe on the desktop\nicon=C:\\Act\\uninstall.exe,2')" \
  "desktop shortcut: target, arguments, folder, description, icon"
# A package for the machine puts group and Start-menu shortcuts into all
# users' folders.
group=$(find "$C/ProgramData" -path '*Programs/QB Group/Nested/Act Group.lnk' | head -1)
[ -n "$group" ] || fail "no shortcut in the nested program group"
expect_eq "$(lnk "$(qb_win "$group")" | grep folder)" 'folder=C:\Act' "group shortcut: the target's folder"
[ -n "$(find "$C/ProgramData" -name 'Act Start.lnk' -not -path '*Programs*')" ] || fail "no Start menu shortcut"
echo "ok: Start menu shortcut"
[ -e "$C/Act/links/Act Path.lnk" ] || fail "no shortcut at its full path"
echo "ok: shortcut at a full path"

log=$C/Act/uninstall.log
[ -e "$log" ] || fail "no uninstall log"
grep -q $'\r$' "$log" || fail "log lines do not end with CR LF"
section() { tr -d '\r' <"$log" | sed -n "/^\\[$1\\]\$/,/^\\[/p" | grep -v '^\[' || true; }
expect_eq "$(section f | head -5 | tr '\n' ' ')" \
  '1=C:\Act\marker.dll 2=C:\Act\qbprobe.exe 3=C:\Act\regmarker.dll 4=C:\Act\uninstall.exe 5=C:\windows\Fonts\qbtest.ttf ' \
  "[f]: placed files asking for removal, in order"
expect_eq "$(section f | wc -l)" 9 "[f]: five files and four shortcuts"
expect_eq "$(section e)" '1=C:\Act\data' "[e]: the folder asking for removal"
expect_eq "$(section u)" '1=C:\Act\regmarker.dll' "[u]"
expect_eq "$(section o1 | tr '\n' ' ')" '0=mode 1=C:\Act ' "[o1]"
expect_eq "$(section i1 | tr '\n' ' ')" '0=C:\Act\conf\new.ini 1=Main 2=a ' "[i1]"
# Only what the run wrote: the kept INI entry and registry value, and the
# registry key that was there before the run, are left out.
expect_eq "$(tr -d '\r' <"$log" | grep -c '^\[i')" 2 "two INI sections: the entries written"
expect_eq "$(section i2 | tr '\n' ' ')" '0=C:\ini\old.ini 1=Main 2=replace ' "[i2]: the entry replaced"
expect_eq "$(tr -d '\r' <"$log" | grep -c '^\[r')" 6 \
  "five registry values written asking for removal and the new key"
expect_eq "$(section r6 | tr '\n' ' ')" '0=1 1=Software\QBActions\Runtime 2=state ' \
  "[r6]: the registry key that was not there"
expect_eq "$(section b1 | tr '\n' ' ')" '0=C:\Act\qbprobe.exe 1=C:\never1.txt x 2=1 3=0 ' "[b1]"
expect_eq "$(section a1 | tr '\n' ' ')" '0=C:\Act\qbprobe.exe 1=C:\never2.txt x 2=1 3=1 ' "[a1]"
expect_eq "$(section n2 | tr '\n' ' ')" '0=QB Other (TrueType) 1=C:\Act\fonts\other.ttf ' "[n2]"
expect_eq "$(section s | grep -E '^(18|31|39|43|44|45|46|47)=' | tr '\n' ' ')" \
  '18=C:\Act 31=1 39=9 43=6 44=2 45=1 46=1 47=27 ' "[s]: destination and counts"
expect_eq "$(tr -d '\r' <"$log" | grep '^\[' | tr -d '\n')" \
  '[f][e][o1][u][i1][i2][r1][r2][r3][r4][r5][r6][b1][a1][n1][n2][n3][s]' "section order"

# The trailer, read from the end of the uninstaller as the uninstaller does.
python3 - "$C/Act/uninstall.exe" "$m/header.bmp" "$m/bin/uninstall.exe" <<'PY'
import struct, sys
data = open(sys.argv[1], 'rb').read()
bmp = open(sys.argv[2], 'rb').read()
original = open(sys.argv[3], 'rb').read()
(length,) = struct.unpack('<H', data[-2:])
path = data[-2 - length:-2].decode()
(size,) = struct.unpack('<I', data[-6 - length:-2 - length])
image = data[-6 - length - size:-6 - length]
assert path == 'C:\\Act\\uninstall.log', path
assert image == bmp, 'bitmap differs'
assert data[:len(original)] == original and len(data) == len(original) + size + 4 + length + 2
print('ok: trailer: bitmap, its size, the log path and its length')
PY
