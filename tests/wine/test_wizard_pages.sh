#!/usr/bin/env bash
# One walk through an installer with every page: on each page the controls'
# texts, places, sizes and states (one table per page); the Destination
# page's checks and the folder picker with the application-subfolder rule;
# the Program group list; the ready summary; the run lands the files in the
# folder typed into the field; the finish page's boxes close up. Then the
# free-space check of an installer that needs more than the drive has.
source "$(dirname "$0")/lib.sh"
qb_begin

m=$QB_TMP/m
C=$WINEPREFIX/drive_c
U=$(qb_user_dir)
mkdir -p "$m/app" "$C/Other" "$C/ProgramData/Microsoft/Windows/Start Menu/Programs/Existing Folder"
echo "payload" >"$m/app/p.txt"
echo "The license." >"$m/license.txt"
echo "The notes." >"$m/readme.txt"
cat >"$m/m.toml" <<'TOML'
[app]
name = "Pages Test"
version = "1"
title = "Pages Test"
destination = "C:\\Pages"
group = "Pages Group"
license = "license.txt"
readme = "readme.txt"
[uninstall]
enabled = false
[settings]
program_to_run = "{app}\\p.txt"
[[files]]
source = "app/p.txt"
[[shortcuts]]
location = "group"
name = "Pages"
target = "{app}\\p.txt"
[[shortcuts]]
location = "desktop"
name = "Pages Desktop"
target = "{app}\\p.txt"
[[shortcuts]]
location = "startmenu"
name = "Pages Start"
target = "{app}\\p.txt"
TOML
qb_tool build "$m/m.toml" -o "$QB_TMP/setup.exe" >/dev/null
T="Pages Test"
W=$QB_WIZARD_CLASS
dump() { qb_drive dump "$T" "$W" | tr -d '\r'; }
# Waits until the wizard shows every line given (the page changes, and its
# controls are set up, after a button's click is handled).
expect_page() {
  local name=$1
  shift
  qb_wait_controls "$T" "$W" 20 "$@" >/dev/null || fail "$name page: not every control as expected"
  echo "ok: $name page: ${#@} controls as expected"
}
# Waits until Next is enabled (1) or disabled (0), as a change to a field
# makes it.
expect_next() {
  qb_wait_controls "$T" "$W" 10 "control|Button|102|*|visible=1|enabled=$1" >/dev/null ||
    fail "$2: Next is not $([ "$1" = 1 ] && echo enabled || echo disabled)"
  echo "ok: $2"
}
field() { dump | grep "^control|Edit|$1|" | cut -d'|' -f4; }
click() { qb_turn_page "$T" "$1" || fail "\"$1\" did not turn the page"; }

qb_exit_code "$(qb_win "$QB_TMP/setup.exe")" >"$QB_TMP/code" &
pid=$!
qb_wait_wizard "$T" >/dev/null || fail "no wizard"
# No side picture in this package: the texts start at 20 and span 400.
expect_page Welcome \
  '|Static|0|Welcome to the Pages Test Setup|visible=1|enabled=1|checked=-1|at=20,16,400,56' \
  'control|Button|101|< &Back|visible=0' 'control|Button|102|&Next >|visible=1|enabled=1|checked=-1|at=324,327,75,23' \
  'control|Button|103|Cancel|visible=1|enabled=1|checked=-1|at=410,327,75,23' \
  'control|TQuillboxPanel|0||visible=1|enabled=1|checked=-1|at=0,314,497,1'
click "Next >"
# The band's foot: two rules of one pixel, seen on every page with the band.
expect_page License \
  'control|TQuillboxPanel|0||visible=1|enabled=1|checked=-1|at=0,58,497,1' \
  'control|TQuillboxPanel|0||visible=1|enabled=1|checked=-1|at=0,59,497,1' \
  '|Static|0|License Agreement|visible=1|enabled=1|checked=-1|at=171,8,302,14' \
  '|Static|0|Please read the license terms before you install Pages Test.|visible=1|enabled=1|checked=-1|at=178,26,297,26' \
  '|Static|0|By clicking I Agree you accept the terms of this license.|visible=1|enabled=1|checked=-1|at=22,12,452,41' \
  'control|RichEdit20A|0|The license.' '|at=22,56,452,178' \
  'control|Button|101|< &Back|visible=1|enabled=1|checked=-1|at=249,327,75,23' \
  'control|Button|102|I &Agree|visible=1|enabled=1'
# The separator runs from the end of the branding text to 20 pixels short of
# the window's outer right edge.
check_separator() {
  local d brand line outer bx by bw bh lx ly lw lh
  d=$(dump)
  brand=$(echo "$d" | grep '^control|Static|0|[^|]*|visible=1|enabled=0|checked=-1|at=12,307,' | sed 's/.*at=//')
  line=$(echo "$d" | grep '^control|TQuillboxPanel|0||visible=1|.*|at=[0-9]*,314,' | sed 's/.*at=//')
  outer=$(qb_drive list | tr -d '\r' | awk -F'|' '$1 == "TQuillboxWizard" && $3 == "visible=1" {split($4, r, ","); print r[3] - r[1]}')
  IFS=, read -r bx by bw bh <<<"$brand"
  IFS=, read -r lx ly lw lh <<<"$line"
  [ -n "$brand" ] && [ -n "$line" ] && [ "$lx" -eq $((bx + bw)) ] && [ $((lx + lw)) -eq $((outer - 20)) ] ||
    fail "$1: separator at $line for branding at $brand in a window $outer wide"
  echo "ok: $1: the separator runs from the branding text ($brand) to 20 pixels short of the edge"
}
check_separator License
click "< Back"
expect_page "Welcome again" 'control|Button|102|&Next >|visible=1|enabled=1' 'control|Button|101|< &Back|visible=0'
click "Next >"
click "I Agree"
expect_page Readme '|Static|0|Read Me|visible=1' \
  '|Static|0|Please read the following notes.|visible=1|enabled=1|checked=-1|at=22,12,452,41' \
  'control|RichEdit20A|0|The notes.' 'control|Button|102|&Next >|visible=1|enabled=1' \
  'control|Static|0||visible=1|enabled=1|checked=-1|at=178,26,297,26'
# Its explanation shows once: on the page above the notes, not again as the
# band's subtitle.
shown=$(dump | grep -c '^control|Static|0|Please read the following notes.|visible=1|')
expect_eq "$shown" 1 "the Readme page shows its explanation once"
click "Next >"
# No page icon in this package: the description starts where the icon would
# stand and keeps its right edge, and no empty picture is left.
expect_page Destination '|Static|0|Choose a Folder|visible=1' \
  '|Where should Pages Test be installed?|visible=1' \
  '|Setup will install Pages Test in the folder below.*|visible=1|enabled=1|checked=-1|at=32,16,440,81' \
  'control|Button|0|Destination folder|visible=1|enabled=1|checked=-1|at=22,128,452,59' \
  'control|Edit|111|C:\Pages|visible=1|enabled=1|checked=-1|at=38,150,329,' \
  'control|Button|112|B&rowse...|visible=1|enabled=1|checked=-1|at=382,149,75,23' \
  'control|Button|102|&Next >|visible=1|enabled=1'
# Below the frame: the space the package needs (its one 8-byte file) and
# the space free on the drive of the field's folder, as the host's file
# system reports it for drive C (within 5 %: other programs write too).
expect_page "Destination, space" \
  'control|Static|0|Space required: 8 bytes|visible=1|enabled=1|checked=-1|at=22,196,452,14' \
  'control|Static|0|Space available on C:: *|visible=1|enabled=1|checked=-1|at=22,214,452,14'
check_available() {
  local shown bytes free
  shown=$(dump | grep '^control|Static|0|Space available on ' | cut -d'|' -f4)
  bytes=$(awk -v t="${shown#Space available on C:: }" 'BEGIN {
    split(t, p, " "); n = split("KB MB GB TB PB", u, " ")
    for (i = 1; i <= n; i++) if (p[2] == u[i]) { printf "%.0f", p[1] * 2 ^ (10 * i); exit }
    print -1 }')
  free=$(df -B1 --output=avail "$C" | tail -n1 | tr -d ' ')
  awk -v a="$bytes" -v b="$free" 'BEGIN { d = a - b; if (d < 0) d = -d; exit !(a > 0 && d <= b / 20) }' ||
    fail "$1: \"$shown\" ($bytes bytes) for $free bytes free"
  echo "ok: $1: \"$shown\" ($free bytes free)"
}
check_available "the space available on C: for C:\\Pages"
no_icon() { ! dump | grep -q '^control|TQuillboxPicture|0||visible=1|.*|at=32,32,48,48'; }
no_icon || fail "Destination page: an empty icon area is left: $(dump | grep TQuillboxPicture)"
echo "ok: Destination page without an icon: no icon area, the text from x = 32"
# The field's checks: at least three characters, on a drive that exists.
# Between the texts Next goes back on, so each wait sees the answer to its
# own text.
for text in "C:" "Q:\\Nowhere"; do
  qb_drive type "$T" "$text" "$W"
  expect_next 0 "destination \"$text\": Next disabled"
  # Not a full path, or no folder of it exists: no space available to show.
  expect_page "Destination \"$text\", no space line" 'control|Static|0||visible=1|enabled=1|checked=-1|at=22,214,452,14'
  qb_drive type "$T" 'C:\Typed Dest' "$W"
  expect_next 1 "destination C:\\Typed Dest: Next enabled"
done
# The folder picker, once open, in $picker.
picker_open() {
  picker=$(qb_drive list | tr -d '\r' | awk -F'|' '$1 == "#32770" && $3 == "visible=1" {print $2; exit}')
  [ -n "$picker" ]
}
# A folder that is not there yet: the space of the drive its nearest
# existing folder is on, shown as the field changes.
qb_drive type "$T" 'C:\Other\Not There\Deeper' "$W"
expect_page "Destination, new folder" 'control|Static|0|Space available on C:: *|visible=1|'
check_available "the space available on C: for a folder not there yet"
# Browse opens at the nearest folder that exists; Cancel keeps the field.
qb_drive click "$T" "Browse..." "$W"
qb_wait_until 20 picker_open || fail "the folder picker did not open for a folder not there yet"
qb_wait_controls "$picker" '#32770' 20 'control|Edit|*|Other|' 'control|Button|*|Cancel|visible=1|enabled=1' \
  >/dev/null || fail "the folder picker did not start at the nearest existing folder (C:\\Other)"
echo "ok: for C:\\Other\\Not There\\Deeper the folder picker starts at C:\\Other"
picker_handle=$(qb_handle "$picker" '#32770')
qb_drive click "$picker" Cancel '#32770'
qb_wait_gone "$picker_handle" || fail "Cancel did not close the folder picker"
qb_wait_controls "$T" "$W" 10 'control|Edit|111|C:\Other\Not There\Deeper|visible=1' >/dev/null ||
  fail "Cancel in the folder picker changed the field: \"$(field 111)\""
echo "ok: Cancel in the folder picker keeps the field"
# Browse: the picker opens at the field's folder; OK there adds the
# application's subfolder outside the default destination.
qb_drive type "$T" 'C:\Other' "$W"
qb_drive click "$T" "Browse..." "$W"
qb_wait_until 20 picker_open || fail "the folder picker did not open"
echo "ok: the folder picker opened (\"$picker\")"
# OK once the picker has selected the field's folder (its name field, hidden
# in this style of picker, follows the selection).
qb_wait_controls "$picker" '#32770' 20 'control|Edit|*|Other|' 'control|Button|*|OK|visible=1|enabled=1' \
  >/dev/null || fail "the folder picker did not start at the field's folder"
picker_handle=$(qb_handle "$picker" '#32770')
qb_drive click "$picker" OK '#32770'
qb_wait_gone "$picker_handle" || fail "OK did not close the folder picker"
# The field takes the picked folder once the picker has closed.
qb_wait_controls "$T" "$W" 10 'control|Edit|111|C:\Other\Pages Test|visible=1' >/dev/null ||
  fail "a folder picked outside the default did not get the application's subfolder"
expect_eq "$(field 111)" 'C:\Other\Pages Test' "a folder picked outside the default gets the application's subfolder"
qb_drive type "$T" 'C:\Typed Dest' "$W"
expect_next 1 "C:\\Typed Dest typed again: Next enabled"
click "Next >"
expect_page "Program group" '|Static|0|Shortcuts|visible=1' \
  '|Where should Setup put the program'"'"'s shortcuts?|visible=1' \
  '|Setup will create the shortcuts in the Start menu folder below.|visible=1|enabled=1|checked=-1|at=22,12,452,35' \
  'control|Edit|113|Pages Group|visible=1|enabled=1|checked=-1|at=22,56,452,21' \
  'control|SysListView32|114|' '|at=22,80,452,138' \
  "control|Button|115|Don't create a Start menu folder|visible=1|enabled=1|checked=0|at=22,224,"
dump | grep "^control|SysListView32|114|" | grep -q "visible=1|enabled=1" || fail "the group list is not enabled: $(dump | grep SysListView32)"
qb_drive pick "$T" 0 "$W"
# The picked row fills the field: a folder with the package's group in it.
qb_wait_controls "$T" "$W" 10 'control|Edit|113|*\Pages Group|visible=1' >/dev/null ||
  fail "a picked row did not fill the group field: \"$(field 113)\""
case "$(field 113)" in
  *'\Pages Group') echo "ok: a picked Start-menu folder fills the group field ($(field 113))" ;;
  *) fail "a picked row gave the group field \"$(field 113)\"" ;;
esac
qb_drive toggle "$T" "Don't create a Start menu folder" "$W"
expect_page "Program group, no group" 'control|Edit|113|' 'enabled=0|checked=-1|at=22,56,452,21' \
  "control|Button|115|Don't create a Start menu folder|visible=1|enabled=1|checked=1"
dump | grep '^control|SysListView32|114|' | grep -q 'enabled=0' || fail "the group list stays enabled without a group: $(dump | grep SysListView32)"
qb_drive toggle "$T" "Don't create a Start menu folder" "$W"
qb_drive type "$T" "" "$W"
expect_next 0 "an empty group field disables Next"
qb_drive type "$T" "Pages Group" "$W"
expect_next 1 "a group name enables Next"
click "Next >"
expect_page Tasks '|Static|0|Shortcuts|visible=1' '|Which extra shortcuts would you like?|visible=1' \
  '|Choose the shortcuts Setup should create, then click Next.|visible=1|enabled=1|checked=-1|at=32,16,440,72' \
  '|Create a desktop shortcut|visible=1|enabled=1|checked=1|at=22,128,' \
  '|Create a Start menu shortcut|visible=1|enabled=1|checked=1|at=22,152,'
no_icon || fail "Tasks page: an empty icon area is left: $(dump | grep TQuillboxPicture)"
echo "ok: Tasks page without an icon: no icon area, the text from x = 32"
qb_drive toggle "$T" "Create a Start menu shortcut" "$W"
click "Next >"
expect_page Ready '|Static|0|Ready to Install|visible=1' \
  'control|RichEdit20A|0|Destination folder:    C:\Typed Dest\n\nStart menu folder:    Pages Group\n\nExtra shortcuts:\n    Create a desktop shortcut\n|' \
  'control|Button|102|&Install|visible=1|enabled=1'
click "< Back"
expect_page "Tasks again" 'control|Button|102|&Next >|visible=1|enabled=1'
click "Next >"
click "Install"
d=$(qb_wait_controls "$T" "$W" 120 'control|Button|102|&Finish|visible=1|enabled=1') ||
  fail "the run did not reach the Finish page"
echo "$d" | grep '|Run Pages Test now|' | grep -q 'visible=1|enabled=1|checked=[01]|at=176,152,' ||
  fail "Finish page: the run box is not first: $(echo "$d" | grep 'Run Pages')"
expect_page Finish 'control|Button|102|&Finish|visible=1|enabled=1'
qb_drive click "$T" Finish "$W"
qb_wait_exit $pid
expect_eq "$(cat "$QB_TMP/code")" 0 "the walk ends with exit code 0"
expect_same_file "$m/app/p.txt" "$C/Typed Dest/p.txt" "the file lands in the folder typed into the field"
[ -n "$(find "$C/ProgramData" -path '*Pages Group/Pages.lnk')" ] || fail "no group shortcut"
[ -z "$(find "$C/users" "$C/ProgramData" -name 'Pages Start.lnk')" ] || fail "the cleared Start menu task made its shortcut"
echo "ok: the group shortcut is made and the cleared task is not"

# Not enough room: the error box names the drive in upper case, and the
# wizard stays on the Destination page.
# Without a Welcome page the first page has the band: its separator starts
# where the branding text ends from the start.
sed -i 's/^\[settings\]$/[settings]\nrequired_disk_space = 9000000000000000\nwelcome_page = false\nbranding_text = "Pages Brand"/' "$m/m.toml"
sed -i 's/^destination = "C:\\\\Pages"$/destination = "c:\\\\Pages"/' "$m/m.toml"
# With a page icon the Destination page's description stands beside it.
cp "$QB_SOURCE/examples/tally/pictures/destination.bmp" "$m/"
printf '[pictures]\ndestination_icon = "destination.bmp"\n' >>"$m/m.toml"
qb_tool build "$m/m.toml" -o "$QB_TMP/big.exe" >/dev/null
wine "$QB_TMP/big.exe" &
pid=$!
qb_wait_wizard "$T" >/dev/null || fail "no wizard (big)"
expect_page "License (big, first page)" '|Static|0|License Agreement|visible=1' '|Pages Brand|visible=1|enabled=0|'
check_separator "License (big, first page)"
click "I Agree"
click "Next >"
expect_page "Destination (big)" '|Static|0|Choose a Folder|visible=1' 'control|Button|102|&Next >|visible=1|enabled=1' \
  '|Setup will install Pages Test in the folder below.*|visible=1|enabled=1|checked=-1|at=112,16,360,81' \
  'control|TQuillboxPicture|0||visible=1|enabled=1|checked=-1|at=32,32,48,48' \
  'control|Static|0|Space required: 8.0 PB|visible=1|enabled=1|checked=-1|at=22,196,452,14'
qb_drive type "$T" 'C:\Typed Big' "$W"
expect_next 1 "C:\\Typed Big typed: Next enabled"
# Next here stays on the page and brings up the box.
qb_drive click "$T" "Next >" "$W"
qb_drive wait "Not enough disk space" 10000 '#32770' || fail "no disk-space box"
expect_eq "$(qb_drive text "Not enough disk space" '#32770' | tr -d '\r')" \
  "There is not enough free space on drive C. Please free some space or choose another folder." \
  "the disk-space box names the drive in upper case"
box=$(qb_handle "Not enough disk space" '#32770')
qb_drive click "Not enough disk space" OK '#32770'
qb_wait_gone "$box" || fail "OK did not close the disk-space box"
# The wizard stays on the page, with the field as typed, and waits: a
# posted round trip (minimise, then restore) has passed through its queue
# and it still shows the page.
expect_page "Destination after the box" '|Static|0|Choose a Folder|visible=1' \
  'control|Edit|111|C:\Typed Big|visible=1' 'control|Button|102|&Next >|visible=1|enabled=1'
qb_drive drain "$T" "$W" || fail "the wizard did not take its queued messages"
qb_drive restore "$T" "$W"
expect_page "Destination after the box, still" '|Static|0|Choose a Folder|visible=1' \
  'control|Edit|111|C:\Typed Big|visible=1' 'control|Button|102|&Next >|visible=1|enabled=1'
[ -z "$(ls "$C/Typed Big" 2>/dev/null)" ] || fail "files were placed after the disk-space box"
echo "ok: after the disk-space box the wizard stays on the Destination page with the field kept"
qb_cancel_installer "$T" || fail "cancel"
qb_wait_exit $pid
