#!/usr/bin/env bash
# DLLs planted beside an installer under system DLL names never run.
source "$(dirname "$0")/lib.sh"
qb_begin

names="cabinet winmm psapi riched20 comctl32"
export WINEDLLOVERRIDES="mscoree,mshtml=;cabinet,winmm,psapi,riched20,comctl32=n,b"
plant() {
  local dir=$1
  mkdir -p "$dir"
  for n in $names; do cp "$QB_WIN/tests/win/marker.dll" "$dir/$n.dll"; done
}

# The control: a program that loads a library by its bare name picks up the
# planted copy, so this test can fail.
plant "$QB_TMP/control"
cp "$QB_WIN/tests/win/loadbyname.exe" "$QB_TMP/control/"
(cd "$QB_TMP/control" && wine loadbyname.exe cabinet.dll >/dev/null)
wineserver -w
[ -e "$QB_TMP/control/cabinet.dll.loaded" ] || fail "control: the planted DLL was not picked up"
echo "ok: control loads the planted cabinet.dll"

plant "$QB_TMP/downloads"
# The support cabinet: a real cabinet (a damaged one is a damaged package)
# holding one file that is not a support file, which the installer passes over.
head -c 3000 /dev/urandom >"$QB_TMP/payload.bin"
mkdir -p "$QB_TMP/sc"
"$QB_NATIVE/tests/qbcab" "$QB_TMP/sc" 0 extra="$QB_TMP/payload.bin" >/dev/null
cp "$QB_TMP/sc/temp_0.tmp" "$QB_TMP/support.bin"
# The package closes a running program by its process name, so the process
# functions are bound (psapi where kernel32 lacks them).
"$QB_PACK" "$QB_STUB" "$QB_TMP/downloads/setup.exe" --support "$QB_TMP/support.bin" \
  --set 103=1 --set 104=nothing-runs-by-this-name.exe --set 105=2
rc=0
(cd "$QB_TMP/downloads" && wine setup.exe /S) || rc=$?
expect_eq "$rc" 0 "silent run exit code"
wineserver -w
for n in $names; do
  [ ! -e "$QB_TMP/downloads/$n.dll.loaded" ] || fail "planted $n.dll was loaded"
done
echo "ok: no planted DLL ran"

# A wizard loads the common controls for its progress bar, with a license
# page the rich-edit library for its viewer, and with a start-up notice the
# multimedia timers: the system's, never the ones planted beside the
# installer.
mkdir -p "$QB_TMP/m"
echo "license" >"$QB_TMP/m/license.txt"
printf '[app]\nname = "Planted"\nversion = "1"\ntitle = "Planted"\nlicense = "license.txt"\n[settings]\nstartup_notice = "Notice"\n' \
  >"$QB_TMP/m/m.toml"
qb_tool build "$QB_TMP/m/m.toml" -o "$QB_TMP/downloads/wizard.exe" >/dev/null
(cd "$QB_TMP/downloads" && wine wizard.exe) &
pid=$!
qb_drive wait "Planted" 30000 "$QB_WIZARD_CLASS" || fail "no wizard"
qb_drive wait "Planted" 10000 '#32770' || fail "no start-up notice: the timer did not tick"
# The viewer and the bar are made before the wizard shows, and the timer's
# library is loaded before it ticks: whatever was to be loaded has been, once
# the notice shows.
notice=$(qb_handle "Planted" '#32770')
qb_drive click "Planted" OK '#32770'
qb_wait_gone "$notice" || fail "OK did not close the notice"
qb_drive dump "Planted" "$QB_WIZARD_CLASS" | tr -d '\r' >"$QB_TMP/dump.txt"
grep -q '^control|RichEdit20A|' "$QB_TMP/dump.txt" || fail "the license viewer was not made"
[ ! -e "$QB_TMP/downloads/riched20.dll.loaded" ] || fail "the planted riched20.dll was loaded"
[ ! -e "$QB_TMP/downloads/winmm.dll.loaded" ] || fail "the planted winmm.dll was loaded"
grep -q '^control|msctls_progress32|' "$QB_TMP/dump.txt" || fail "the progress bar was not made"
[ ! -e "$QB_TMP/downloads/comctl32.dll.loaded" ] || fail "the planted comctl32.dll was loaded"
echo "ok: the progress bar, the license viewer and the notice timer use the system's comctl32.dll, riched20.dll and winmm.dll"
qb_cancel_installer "Planted" || fail "cancel"
qb_wait_exit $pid
