#!/usr/bin/env bash
# Per-user and per-machine installations. A package with privileges = "user"
# asks for no elevation, installs into the user's own programs folder
# ({userpf}: AppData\Local\Programs) with its shortcuts and its Add/Remove
# Programs entry the user's; one for the machine ("admin", the default)
# puts its group, desktop and Start-menu shortcuts into all users' folders,
# unless a shortcut names the user's explicitly. Both uninstall completely.
source "$(dirname "$0")/lib.sh"
qb_begin
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"

m=$QB_TMP/m
C=$WINEPREFIX/drive_c
U=$(qb_user_dir)
mkdir -p "$m"
echo "scoped" >"$m/app.txt"
ARPS='Software\Microsoft\Windows\CurrentVersion\Uninstall'
COMMON_PROGRAMS="$C/ProgramData/Microsoft/Windows/Start Menu/Programs"
COMMON_DESKTOP="$C/users/Public/Desktop"
USER_PROGRAMS="$U/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"

manifest() {  # manifest NAME PRIVILEGES
  cat <<TOML
[app]
name = "$1"
version = "1"
group = "$1"
privileges = "$2"

[[files]]
source = "app.txt"

[[shortcuts]]
location = "group"
name = "$1 App"
target = "{app}\\\\app.txt"

[[shortcuts]]
location = "desktop"
name = "$1 Desktop"
target = "{app}\\\\app.txt"

[[shortcuts]]
location = "user-desktop"
name = "$1 Mine"
target = "{app}\\\\app.txt"
TOML
}

# --- per user ----------------------------------------------------------------
manifest "QB Scope User" user >"$m/user.toml"
(cd "$m" && qb_tool build user.toml -o "$QB_TMP/user.exe" >/dev/null)
grep_q -a 'level="asInvoker"' "$QB_TMP/user.exe" || fail "the per-user installer asks for elevation"
echo "ok: the per-user installer asks for no elevation"
expect_eq "$(qb_exit_code "$(qb_win "$QB_TMP/user.exe")" /S)" 0 "per user: installed"
wineserver -w
app="$U/AppData/Local/Programs/QB Scope User"
expect_same_file "$m/app.txt" "$app/app.txt" "per user: into AppData\\Local\\Programs"
expect_eq "$(qb_reg_value "HKCU\\$ARPS\\QB Scope User" InstallLocation)" \
  "C:\\users\\$(basename "$U")\\AppData\\Local\\Programs\\QB Scope User" "per user: the entry is below HKCU"
! wine reg query "HKLM\\$ARPS\\QB Scope User" >/dev/null 2>&1 || fail "per user: an entry below HKLM"
[ -f "$USER_PROGRAMS/QB Scope User/QB Scope User App.lnk" ] || fail "per user: no group shortcut in the user's Start menu"
[ -f "$U/Desktop/QB Scope User Desktop.lnk" ] || fail "per user: no desktop shortcut on the user's desktop"
[ ! -e "$COMMON_PROGRAMS/QB Scope User" ] && [ ! -e "$COMMON_DESKTOP/QB Scope User Desktop.lnk" ] ||
  fail "per user: a shortcut in all users' folders"
echo "ok: per user: the shortcuts are the user's"
uninstaller=$(wine reg query "HKCU\\$ARPS\\QB Scope User" /v UninstallString | tr -d '\r' |
  sed -n 's/^ *UninstallString  *REG_SZ  *"\(.*\)"$/\1/p')
expect_eq "$(qb_exit_code "$uninstaller" /S)" 0 "per user: uninstalled"
wineserver -w
qb_wait_until 60 ! test -e "$app"
[ ! -e "$USER_PROGRAMS/QB Scope User" ] && [ ! -e "$U/Desktop/QB Scope User Desktop.lnk" ] &&
  [ ! -e "$U/Desktop/QB Scope User Mine.lnk" ] || fail "per user: a shortcut is left"
! wine reg query "HKCU\\$ARPS\\QB Scope User" >/dev/null 2>&1 || fail "per user: the entry is left"
echo "ok: per user: everything is gone"

# --- per machine --------------------------------------------------------------
manifest "QB Scope Machine" admin >"$m/machine.toml"
(cd "$m" && qb_tool build machine.toml -o "$QB_TMP/machine.exe" >/dev/null)
grep_q -a 'level="requireAdministrator"' "$QB_TMP/machine.exe" || fail "the per-machine installer does not ask for elevation"
expect_eq "$(qb_exit_code "$(qb_win "$QB_TMP/machine.exe")" /S)" 0 "per machine: installed"
wineserver -w
[ -f "$COMMON_PROGRAMS/QB Scope Machine/QB Scope Machine App.lnk" ] ||
  fail "per machine: no group shortcut in all users' Start menu"
[ -f "$COMMON_DESKTOP/QB Scope Machine Desktop.lnk" ] || fail "per machine: no desktop shortcut on all users' desktop"
[ -f "$U/Desktop/QB Scope Machine Mine.lnk" ] || fail "per machine: the user-desktop shortcut is not on the user's desktop"
[ ! -e "$USER_PROGRAMS/QB Scope Machine" ] && [ ! -e "$U/Desktop/QB Scope Machine Desktop.lnk" ] ||
  fail "per machine: a group or desktop shortcut in the user's folders"
echo "ok: per machine: group and desktop shortcuts are all users'"
wine reg query "HKLM\\$ARPS\\QB Scope Machine" >/dev/null 2>&1 || fail "per machine: no entry below HKLM"
uninstaller=$(wine reg query "HKLM\\$ARPS\\QB Scope Machine" /v UninstallString | tr -d '\r' |
  sed -n 's/^ *UninstallString  *REG_SZ  *"\(.*\)"$/\1/p')
expect_eq "$(qb_exit_code "$uninstaller" /S)" 0 "per machine: uninstalled"
wineserver -w
[ ! -e "$COMMON_PROGRAMS/QB Scope Machine" ] && [ ! -e "$COMMON_DESKTOP/QB Scope Machine Desktop.lnk" ] &&
  [ ! -e "$U/Desktop/QB Scope Machine Mine.lnk" ] || fail "per machine: a shortcut is left"
echo "ok: per machine: everything is gone"
