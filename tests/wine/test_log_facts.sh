#!/usr/bin/env bash
# The uninstall log names what the run did, not what the package asked for:
# a registry value kept by overwrite = false, an existing key under a
# key-only record, a kept INI entry and a user's file kept by
# overwrite = "never" all survive removal, while what the run wrote goes.
# Upgrading v1 to v2 and removing leaves the prefix as before v1. A run whose
# uninstall log cannot be written ends with exit code 3 and leaves no
# Add/Remove Programs entry; a run whose log is written leaves the log's
# size and SHA-256 in the entry.
source "$(dirname "$0")/lib.sh"
qb_begin
# Wine's menu builder would add .desktop files of its own beside shortcuts.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"

m=$QB_TMP/m
C=$WINEPREFIX/drive_c
U=$(qb_user_dir)
mkdir -p "$m/facts" "$m/v1" "$m/v2" "$m/fail"
ARPS='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'

reg_data() {  # reg_data KEY VALUE: the data of a value ("" for the default), or "absent"
  local which=(/ve) out
  [ -n "$2" ] && which=(/v "$2")
  out=$(wine reg query "$1" "${which[@]}" 2>/dev/null | tr -d '\r') || { echo absent; return; }
  grep -E '    REG_[A-Z_]+' <<<"$out" | head -1 | sed -E 's/^.*    REG_[A-Z_]+    //'
}
key_exists() { wine reg query "$1" >/dev/null 2>&1; }

# --- 1: what the run kept or found stays ------------------------------------
echo "ours" >"$m/facts/ours.txt"
echo "package" >"$m/facts/user.txt"
cat >"$m/facts/m.toml" <<'TOML'
[app]
name = "QB Facts"
version = "1"
destination = "C:\\Facts"

[[files]]
source = "ours.txt"

[[files]]
source = "user.txt"
overwrite = "never"

[[registry]]
root = "HKCU"
key = "Software\\QBFacts"
name = "Keep"
value = "package"
overwrite = false

[[registry]]
root = "HKCU"
key = "Software\\QBFacts"
name = "Ours"
value = "package"

[[registry]]
root = "HKCU"
key = "Software\\QBFacts\\Existing"
type = "key"

[[registry]]
root = "HKCU"
key = "Software\\QBFacts\\NewKey"
type = "key"

[[ini]]
file = "C:\\factsini\\user.ini"
section = "Main"
key = "keep"
value = "package"
overwrite = false

[[ini]]
file = "C:\\factsini\\ours.ini"
section = "Main"
key = "ours"
value = "1"
TOML
qb_tool build "$m/facts/m.toml" -o "$QB_TMP/facts.exe" >/dev/null

wine reg add 'HKCU\Software\QBFacts' /v Keep /d user /f >/dev/null
wine reg add 'HKCU\Software\QBFacts\Existing' /ve /d "user default" /f >/dev/null
mkdir -p "$C/factsini" "$C/Facts"
printf '[Main]\r\nkeep=user\r\n[Other]\r\nx=1\r\n' >"$C/factsini/user.ini"
cp "$C/factsini/user.ini" "$QB_TMP/user.ini"
echo "mine" >"$C/Facts/user.txt"
wineserver -w

expect_eq "$(qb_exit_code "$(qb_win "$QB_TMP/facts.exe")" /S '/LOG=C:\factslog\install.txt')" 0 \
  "installation over what the user has"
wineserver -w
expect_eq "$(reg_data 'HKCU\Software\QBFacts' Keep)" user "overwrite = false kept the value"
expect_eq "$(reg_data 'HKCU\Software\QBFacts' Ours)" package "the run's own value"
key_exists 'HKCU\Software\QBFacts\NewKey' || fail "the key-only record made no key"
expect_eq "$(cat "$C/Facts/user.txt")" mine "overwrite = never kept the user's file"
expect_eq "$(tr -d '\r' <"$C/factsini/ours.ini")" "$(printf '[Main]\nours=1')" "the run's INI entry"

log=$C/Facts/uninstall.log
section() { tr -d '\r' <"$log" | sed -n "/^\\[$1\\]\$/,/^\\[/p" | grep -v '^\[' || true; }
expect_eq "$(section f | tr '\n' ' ')" '1=C:\Facts\ours.txt 2=C:\Facts\uninstall.exe ' \
  "[f]: only the files the run placed"
expect_eq "$(tr -d '\r' <"$log" | grep -c '^\[i')" 1 "[i]: only the INI entry written"
expect_eq "$(section i1 | tr '\n' ' ')" '0=C:\factsini\ours.ini 1=Main 2=ours ' "[i1]"
regs=$(for s in $(tr -d '\r' <"$log" | grep -o '^\[r[0-9]*\]' | tr -d '[]'); do
  section "$s" | sed -n 's/^[12]=//p' | tr '\n' '|'
  echo
done)
grep -qx 'Software\\QBFacts|Ours|' <<<"$regs" || fail "[r]: the value written is not named: $regs"
grep -qx 'Software\\QBFacts\\NewKey||' <<<"$regs" || fail "[r]: the new key is not named: $regs"
grep -q 'Keep\|Existing' <<<"$regs" && fail "[r]: a value or key the run kept is named: $regs"
echo "ok: [r] names the value written and the key created, not what was kept"
for v in QuillboxLogSize QuillboxLogSha256; do
  grep -qx "Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\QB Facts|$v|" \
    <<<"$regs" || fail "[r]: the entry's $v is not named: $regs"
done
echo "ok: [r] names the entry's fingerprint values"
expect_eq "$(reg_data "$ARPS\\QB Facts" QuillboxLogSize)" "$(stat -c %s "$log")" \
  "the entry holds the log's size"
expect_eq "$(reg_data "$ARPS\\QB Facts" QuillboxLogSha256)" "$(sha256sum "$log" | cut -d' ' -f1)" \
  "the entry holds the log's SHA-256"
for want in 'registry: kept the existing HKCU\Software\QBFacts value "Keep"' \
  'registry: kept the existing key HKCU\Software\QBFacts\Existing' \
  'registry: created the key HKCU\Software\QBFacts\NewKey' \
  'INI: kept the existing C:\factsini\user.ini [Main] keep'; do
  grep -qF -- "$want" "$C/factslog/install.txt" || fail "the installation log lacks \"$want\""
done
echo "ok: the installation log tells what was kept"

expect_eq "$(qb_exit_code 'C:\Facts\uninstall.exe' /S)" 0 "removal"
wineserver -w
expect_eq "$(reg_data 'HKCU\Software\QBFacts' Keep)" user "the kept value survives removal"
expect_eq "$(reg_data 'HKCU\Software\QBFacts' Ours)" absent "the run's value is removed"
expect_eq "$(reg_data 'HKCU\Software\QBFacts\Existing' '')" "user default" \
  "the existing key and its default value survive removal"
key_exists 'HKCU\Software\QBFacts\NewKey' && fail "the key the run made is still there"
echo "ok: the key the run made is removed"
cmp -s "$QB_TMP/user.ini" "$C/factsini/user.ini" ||
  fail "user.ini changed: $(cat -A "$C/factsini/user.ini" 2>&1)"
echo "ok: the INI file with the kept entry is as it was"
[ ! -e "$C/factsini/ours.ini" ] || fail "the INI file the run made is still there"
echo "ok: the INI file the run made is removed"
expect_eq "$(cat "$C/Facts/user.txt")" mine "the user's file survives removal"
[ ! -e "$C/Facts/ours.txt" ] && [ ! -e "$C/Facts/uninstall.exe" ] || fail "installed files are left"
echo "ok: the run's files are removed"
key_exists "$ARPS\\QB Facts" && fail "the Add/Remove Programs entry is still there"
echo "ok: the Add/Remove Programs entry is removed, its fingerprint values with it"

# --- 2: v1, then v2 over it, then removal: as before v1 ---------------------
for v in 1 2; do
  echo "a $v" >"$m/v$v/a.txt"
  echo "only in v$v" >"$m/v$v/only$v.txt"
  echo "to edit in v$v" >"$m/v$v/edit$v.txt"
done
common_toml() {  # common_toml VERSION
  cat <<TOML
[app]
name = "QB Upgrade"
version = "$1"
destination = "C:\\\\Upgrade"
group = "QB Upgrade"

[[files]]
source = "a.txt"

[[files]]
source = "only$1.txt"
destination = "{app}\\\\v$1"

[[files]]
source = "edit$1.txt"
destination = "{app}\\\\v$1"

[[folders]]
path = "{app}\\\\data$1"

[[registry]]
root = "HKCU"
key = "Software\\\\QBUpgrade"
name = "Version"
value = "$1"
overwrite = false

[[registry]]
root = "HKCU"
key = "Software\\\\QBUpgrade\\\\Only$1"
name = "Mark"
value = "$1"

[[registry]]
root = "HKCU"
key = "Software\\\\QBUpgrade\\\\Key$1"
type = "key"

[[ini]]
file = "{app}\\\\app.ini"
section = "Main"
key = "only$1"
value = "1"

[[ini]]
file = "C:\\\\upini\\\\shared.ini"
section = "V$1"
key = "k"
value = "$1"

[[shortcuts]]
location = "group"
name = "Both"
target = "{app}\\\\a.txt"

[[shortcuts]]
location = "desktop"
name = "Upgrade v$1"
target = "{app}\\\\a.txt"
TOML
}
common_toml 1 >"$m/v1/m.toml"
common_toml 2 >"$m/v2/m.toml"
qb_tool build "$m/v1/m.toml" -o "$QB_TMP/v1.exe" >/dev/null
qb_tool build "$m/v2/m.toml" -o "$QB_TMP/v2.exe" >/dev/null
mkdir -p "$C/upini"
printf '[Keep]\r\nmine=1\r\n' >"$C/upini/shared.ini"

# Every file and folder of the prefix but the temporary ones, and the keys
# the installations touch as "wine reg export" gives them (or "absent").
snapshot() {
  wineserver -w
  (cd "$C" && find . -path './users/*/Temp' -prune -o -print | grep -v '^./users/[^/]*/Temp$' |
    sort) >"$1.files"
  : >"$1.reg"
  local k
  for k in 'HKCU\Software\QBUpgrade' "$ARPS\\QB Upgrade"; do
    rm -f "$QB_TMP/export.reg"
    if wine reg export "$k" "$(qb_win "$QB_TMP/export.reg")" >/dev/null 2>&1; then
      iconv -f UTF-16 -t UTF-8 "$QB_TMP/export.reg" 2>/dev/null | tr -d '\r' >>"$1.reg" ||
        tr -d '\r' <"$QB_TMP/export.reg" >>"$1.reg"
    else
      echo "$k absent" >>"$1.reg"
    fi
  done
  cp "$C/upini/shared.ini" "$1.ini"
}
snapshot "$QB_TMP/before"
grep -q 'QBUpgrade absent' "$QB_TMP/before.reg" || fail "the snapshot cannot tell an absent key"

expect_eq "$(qb_exit_code "$(qb_win "$QB_TMP/v1.exe")" /S)" 0 "v1 installed"
wineserver -w
snapshot "$QB_TMP/v1"
grep -q 'Upgrade v1.lnk' "$QB_TMP/v1.files" || fail "v1's desktop shortcut is missing"
grep -q '"Version"="1"' "$QB_TMP/v1.reg" || fail "v1's registry value is missing: $(cat "$QB_TMP/v1.reg")"
echo "ok: v1 is in place"
# The user changes a file of v1 that v2 does not bring: it is theirs now,
# and stays after removal as it would have without the upgrade.
echo "changed by the user" >>"$C/Upgrade/v1/edit1.txt"
expect_eq "$(qb_exit_code "$(qb_win "$QB_TMP/v2.exe")" /S)" 0 "v2 installed over v1"
wineserver -w
[ -e "$C/Upgrade/v1/only1.txt" ] && [ -e "$C/Upgrade/v2/only2.txt" ] || fail "v1's or v2's file is missing"
expect_eq "$(reg_data 'HKCU\Software\QBUpgrade' Version)" 1 "v2 kept v1's value (overwrite = false)"
log=$C/Upgrade/uninstall.log
expect_eq "$(section f | grep -ci 'only1.txt\|Upgrade v1.lnk')" 2 \
  "v2's log carries v1's file and shortcut"
expect_eq "$(section f | grep -ci 'edit1.txt' || true)" 0 "v2's log leaves out v1's file the user changed"
expect_eq "$(section f | sed 's/^[0-9]*=//' | sort | uniq -di)" "" "[f] names each file once"
expect_eq "$(tr -d '\r' <"$log" | grep -c '^1=Software\\QBUpgrade$')" 1 \
  "the value v1 wrote is named once"
expect_eq "$(reg_data "$ARPS\\QB Upgrade" QuillboxLogSha256)" "$(sha256sum "$log" | cut -d' ' -f1)" \
  "v2's entry holds v2's log's SHA-256"
expect_eq "$(reg_data "$ARPS\\QB Upgrade" DisplayVersion)" 2 "the entry is v2's"

expect_eq "$(qb_exit_code 'C:\Upgrade\uninstall.exe' /S)" 0 "removal after the upgrade"
wineserver -w
grep -q "changed by the user" "$C/Upgrade/v1/edit1.txt" || fail "the file the user changed is gone"
echo "ok: the file the user changed after v1 stays"
# It and the folders it holds are all that is left of the application.
rm "$C/Upgrade/v1/edit1.txt"
rmdir "$C/Upgrade/v1" "$C/Upgrade"
snapshot "$QB_TMP/after"
diff -u "$QB_TMP/before.files" "$QB_TMP/after.files" || fail "the file tree differs from before v1"
echo "ok: the file tree is as before v1"
diff -u "$QB_TMP/before.reg" "$QB_TMP/after.reg" || fail "the registry differs from before v1"
echo "ok: the registry is as before v1"
cmp -s "$QB_TMP/before.ini" "$QB_TMP/after.ini" || fail "shared.ini differs from before v1"
echo "ok: the shared INI file is as before v1"

# --- 3: a log that cannot be written: exit code 3, no entry ------------------
echo "x" >"$m/fail/x.txt"
cat >"$m/fail/m.toml" <<'TOML'
[app]
name = "QB Facts Fail"
version = "1"
destination = "C:\\FactsFail"

[[files]]
source = "x.txt"

[[registry]]
root = "HKCU"
key = "Software\\QBFactsFail"
name = "Value"
value = "1"
TOML
qb_tool build "$m/fail/m.toml" -o "$QB_TMP/fail.exe" >/dev/null
# The log's path is taken by a folder.
mkdir -p "$C/FactsFail/uninstall.log"
rc=$(timeout 120 wine "$QB_WIN/tests/win/qbexit.exe" "$(qb_win "$QB_TMP/fail.exe")" /S /NP \
  '/LOG=C:\factslog\fail.txt' | tr -d '\r')
expect_eq "$rc" 3 "a log that cannot be written abandons the installation"
wineserver -w
key_exists "$ARPS\\QB Facts Fail" && fail "an Add/Remove Programs entry was written: $(wine reg query "$ARPS\\QB Facts Fail")"
echo "ok: no Add/Remove Programs entry"
flog=$C/factslog/fail.txt
grep -qF 'FAILED to write the uninstall log C:\FactsFail\uninstall.log' "$flog" ||
  fail "the installation log does not name the log that failed: $(cat "$flog")"
grep -qF 'installation abandoned' "$flog" || fail "the installation log does not say it was abandoned"
grep -qF 'exit code 3' "$flog" || fail "the installation log lacks the exit code"
echo "ok: the installation log names the file that failed, and the end"
