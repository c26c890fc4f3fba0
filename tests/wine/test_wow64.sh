#!/usr/bin/env bash
# The shipped 32-bit installer and uninstaller on 64-bit Windows (a WoW64
# prefix). The default package lands where Windows puts a 32-bit program:
# Program Files (x86), the 32-bit system folder (SysWOW64) and the
# WOW6432Node view of HKLM\Software, its Add/Remove Programs entry too. The
# same package with architecture = "x64" lands in Program Files, the native
# System32 and the 64-bit view. {pf32}, {pf64}, {sys32} and {sys64} name the
# other side in both. Each uninstalls without a trace: the file tree and the
# registry keys concerned are as before. (Files go straight into those
# folders: a folder that extraction makes for a file outside the
# application's folder is not in the uninstall log, and stays.)
source "$(dirname "$0")/lib.sh"
qb_need_wow64
qb_begin
qb_wow64_prefix
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"

m=$QB_TMP/m
C=$WINEPREFIX/drive_c
mkdir -p "$m"
echo "application" >"$m/app.txt"
echo "a system file" >"$m/qbwow-sys.txt"
echo "other side" >"$m/qbwow-other.txt"
ARP='Software\Microsoft\Windows\CurrentVersion\Uninstall\QB Wow'

manifest() {  # manifest ARCHITECTURE
  cat <<TOML
[app]
name = "QB Wow"
version = "1"
architecture = "$1"

[[files]]
source = "app.txt"

[[files]]
source = "qbwow-sys.txt"
destination = "{sys}"

[[files]]
source = "qbwow-other.txt"
destination = "{pf32}"

[[files]]
source = "qbwow-other.txt"
destination = "{pf64}"

[[files]]
source = "qbwow-other.txt"
destination = "{sys32}"

[[files]]
source = "qbwow-other.txt"
destination = "{sys64}"

[[shortcuts]]
location = "common-desktop"
name = "QB Wow App"
target = "{app}\\\\app.txt"

[[registry]]
root = "HKLM"
key = "Software\\\\QB Wow"
name = "Where"
value = "{app}"

[[registry]]
root = "HKLM"
key = "Software\\\\QB Wow"
name = "Sys"
value = "{sys}"
TOML
}

# One registry key of one view ("64" or "32") as "reg query" lists it, or
# "absent".
reg_key() {
  local out
  out=$(wine reg query "$1" /s "/reg:$2" 2>/dev/null | tr -d '\r') || { echo "$1 ($2) absent"; return; }
  echo "$1 ($2):"
  echo "$out"
}

snapshot() {
  wineserver -w
  (cd "$C" && find . -path './users/*/Temp' -prune -o -print | grep -v '^./users/[^/]*/Temp$' |
    grep -v '^./windows/\(Installer\|logs\)' | sort) >"$1.files"
  : >"$1.reg"
  local view
  for view in 32 64; do
    reg_key 'HKLM\Software\QB Wow' "$view" >>"$1.reg"
    reg_key "HKLM\\$ARP" "$view" >>"$1.reg"
  done
}

installed_value() {  # installed_value VIEW NAME
  wine reg query 'HKLM\Software\QB Wow' /v "$2" "/reg:$1" 2>/dev/null | tr -d '\r' |
    sed -n "s/^ *$2  *REG_SZ  *//p"
}

lnk_target() {
  wine "$QB_WIN/tests/win/lnkinfo.exe" 'C:\users\Public\Desktop\QB Wow App.lnk' | tr -d '\r' |
    sed -n 's/^target=//p'
}

round_trip() {  # round_trip ARCHITECTURE
  local arch=$1 exe=$QB_TMP/wow-$1.exe
  manifest "$arch" >"$m/$arch.toml"
  (cd "$m" && qb_tool build "$arch.toml" -o "$exe" >/dev/null)
  snapshot "$QB_TMP/before-$arch"
  expect_eq "$(qb_exit_code "$(qb_win "$exe")" /S)" 0 "$arch: installed silently"
  wineserver -w
}

# entry_in ARCH VIEW OTHER-VIEW WHERE: the Add/Remove Programs entry is in the
# one view and not in the other.
entry_in() {
  wine reg query "HKLM\\$ARP" /v UninstallString "/reg:$2" >/dev/null 2>&1 ||
    fail "$1: no Add/Remove Programs entry in the $2-bit view"
  ! wine reg query "HKLM\\$ARP" "/reg:$3" >/dev/null 2>&1 ||
    fail "$1: an Add/Remove Programs entry in the $3-bit view"
  echo "ok: $1: the entry is in $4"
}

# uninstalled ARCH FOLDER: the installed uninstaller in the Windows folder
# FOLDER removes the package silently, and the prefix is as before it.
uninstalled() {
  local arch=$1 folder=$2
  expect_eq "$(qb_exit_code "$folder\\uninstall.exe" /S)" 0 "$arch: uninstalled silently"
  wineserver -w
  local unix=${folder#C:\\}
  qb_wait_until 60 ! test -e "$C/${unix//\\//}/uninstall.exe"
  snapshot "$QB_TMP/after-$arch"
  diff -u "$QB_TMP/before-$arch.files" "$QB_TMP/after-$arch.files" || fail "$arch: files are left behind"
  diff -u "$QB_TMP/before-$arch.reg" "$QB_TMP/after-$arch.reg" || fail "$arch: registry entries are left behind"
  echo "ok: $arch: the prefix is as before"
}

# --- the default package: the 32-bit side ----------------------------------
round_trip x86
expect_same_file "$m/app.txt" "$C/Program Files (x86)/QB Wow/app.txt" "x86: {app} is in Program Files (x86)"
[ ! -e "$C/Program Files/QB Wow" ] || fail "x86: files went to the 64-bit Program Files"
expect_same_file "$m/qbwow-sys.txt" "$C/windows/syswow64/qbwow-sys.txt" "x86: {sys} is SysWOW64"
[ ! -e "$C/windows/system32/qbwow-sys.txt" ] || fail "x86: {sys} reached the native System32"
expect_same_file "$m/qbwow-other.txt" "$C/Program Files (x86)/qbwow-other.txt" "x86: {pf32}"
expect_same_file "$m/qbwow-other.txt" "$C/Program Files/qbwow-other.txt" "x86: {pf64}"
expect_same_file "$m/qbwow-other.txt" "$C/windows/syswow64/qbwow-other.txt" "x86: {sys32}"
expect_same_file "$m/qbwow-other.txt" "$C/windows/system32/qbwow-other.txt" "x86: {sys64}"
expect_eq "$(installed_value 32 Where)" 'C:\Program Files (x86)\QB Wow' "x86: the value is in the 32-bit view"
expect_eq "$(lnk_target)" 'C:\Program Files (x86)\QB Wow\app.txt' "x86: the shortcut's target"
expect_eq "$(installed_value 64 Where)" "" "x86: nothing in the 64-bit view"
entry_in x86 32 64 WOW6432Node
uninstalled x86 'C:\Program Files (x86)\QB Wow'

# --- architecture = "x64": the native side -----------------------------------
round_trip x64
expect_same_file "$m/app.txt" "$C/Program Files/QB Wow/app.txt" "x64: {app} is in Program Files"
[ ! -e "$C/Program Files (x86)/QB Wow" ] || fail "x64: files went to Program Files (x86)"
expect_same_file "$m/qbwow-sys.txt" "$C/windows/system32/qbwow-sys.txt" "x64: {sys} is the native System32"
[ ! -e "$C/windows/syswow64/qbwow-sys.txt" ] || fail "x64: {sys} was redirected to SysWOW64"
expect_same_file "$m/qbwow-other.txt" "$C/Program Files (x86)/qbwow-other.txt" "x64: {pf32}"
expect_same_file "$m/qbwow-other.txt" "$C/windows/syswow64/qbwow-other.txt" "x64: {sys32}"
expect_same_file "$m/qbwow-other.txt" "$C/windows/system32/qbwow-other.txt" "x64: {sys64}"
expect_eq "$(installed_value 64 Where)" 'C:\Program Files\QB Wow' "x64: the value is in the 64-bit view"
expect_eq "$(lnk_target)" 'C:\Program Files\QB Wow\app.txt' "x64: the shortcut's target"
expect_eq "$(installed_value 64 Sys)" 'C:\windows\system32' "x64: {sys} reads as System32"
expect_eq "$(installed_value 32 Where)" "" "x64: nothing in the 32-bit view"
entry_in x64 64 32 "the 64-bit view"
grep -qx '52=64' <(tr -d '\r' <"$C/Program Files/QB Wow/uninstall.log") ||
  fail "x64: the uninstall log does not say it is a 64-bit installation"
echo "ok: x64: the uninstall log records the mode"
uninstalled x64 'C:\Program Files\QB Wow'

# --- architecture = "x64" on 32-bit Windows: refused ---------------------------
# Only where this machine runs 32-bit code itself: an emulated 32-bit prefix
# would run every one of its programs, the server too, under the emulator.
if [ "$QB_WINE_ARCH" = wow64 ]; then
  wineserver -k 2>/dev/null || true
  export WINEPREFIX=$QB_TMP/win32 WINEARCH=win32 WINELOADER=/usr/lib/wine/wine QB_WOW64=
  # "wine" is the 32-bit loader again, not lib.sh's wine64.
  PATH=$(tr ':' '\n' <<<"$PATH" | grep -v '/wine64-shim$' | paste -sd:)
  wineboot -i >/dev/null 2>&1
  wineserver -w
  qb_unlink_home
  mkdir -p "$(qb_user_dir)/Temp"
  expect_eq "$(qb_exit_code "$(qb_win "$QB_TMP/wow-x64.exe")" /S)" 5 "x64 on 32-bit Windows: exit code 5"
  [ ! -e "$WINEPREFIX/drive_c/Program Files/QB Wow" ] || fail "x64 on 32-bit Windows: files were installed"
  wine "$QB_TMP/wow-x64.exe" &
  pid=$!
  qb_drive wait "QB Wow 1 Setup" 30000 '#32770' || fail "x64 on 32-bit Windows: no message"
  expect_eq "$(qb_drive text "QB Wow 1 Setup" '#32770' | tr -d '\r')" \
    "QB Wow cannot be installed on this version of Windows. It needs a 64-bit version of Windows." \
    "x64 on 32-bit Windows: the message"
  qb_drive click "QB Wow 1 Setup" OK '#32770'
  qb_wait_exit $pid
  expect_eq "$QB_RC" 5 "x64 on 32-bit Windows: exit code 5 after the message"
fi
