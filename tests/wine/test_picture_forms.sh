#!/usr/bin/env bash
# A header picture in two forms, for 100 % and 150 %, each a solid colour
# of its own (red 150 x 57, blue 225 x 86): at 96 DPI the wizard shows the
# red one at its size, at 144 DPI (LogPixels 144 in HKCU\Control
# Panel\Desktop, as test_wizard_dpi.sh sets it) the blue one, copied at its
# very size (225 x 86 blue pixels, no red). A package with the red picture
# alone still shows it at 144 DPI, stretched to 225 x 86, even where an
# earlier run left a 4_1.tmp behind. The larger form lands in the working
# folder beside support file 4 and goes with it.
source "$(dirname "$0")/lib.sh"
qb_begin

m=$QB_TMP/m
mkdir -p "$m/app"
echo "payload" >"$m/app/p.txt"
convert -size 150x57 xc:'rgb(255,0,0)' -type TrueColor BMP3:"$m/h100.bmp"
convert -size 225x86 xc:'rgb(0,0,255)' -type TrueColor BMP3:"$m/h150.bmp"
manifest() {
  cat <<TOML
[app]
name = "Picture Forms"
version = "1"
title = "Picture Forms"
destination = "C:\\\\FormsTest"
[uninstall]
enabled = false
[settings]
welcome_page = false
header_bitmap_transparent = false
[pictures]
header = $1
[[files]]
source = "app/p.txt"
TOML
}
manifest '["h100.bmp", "h150.bmp"]' >"$m/two.toml"
manifest '"h100.bmp"' >"$m/one.toml"
qb_tool build "$m/two.toml" -o "$QB_TMP/two.exe" >/dev/null
qb_tool build "$m/one.toml" -o "$QB_TMP/one.exe" >/dev/null
T="Picture Forms"

# The number of pixels of one colour on the screen.
count() { grep -E "\\(\\s*$1\\)" "$QB_TMP/colours.txt" | awk '{ n += $1 } END { print n + 0 }'; }
# Takes a picture of the screen until the header band shows red and blue
# pixels in the numbers wanted.
screen_shows() {
  import -window root "$QB_TMP/shot.png" || { why="no screenshot"; return 1; }
  convert "$QB_TMP/shot.png" -depth 8 -format %c histogram:info:- | tr -d ':' >"$QB_TMP/colours.txt"
  red=$(count '255,\s*0,\s*0')
  blue=$(count '0,\s*0,\s*255')
  [ "$red" -eq "$want_red" ] && [ "$blue" -eq "$want_blue" ] ||
    { why="$red red and $blue blue pixels, not $want_red and $want_blue"; return 1; }
}
# Runs an installer up to its first page (the license page is off, the
# first page is the Destination page with the header band) and checks the
# screen.
run() {
  local exe=$1 dpi=$2
  wine "$QB_TMP/$exe" &
  local pid=$!
  qb_wait_wizard "$T" >/dev/null || fail "no wizard ($exe at $dpi DPI)"
  why=""
  qb_wait_until 30 screen_shows || fail "$exe at $dpi DPI: $why"
  cp "$QB_TMP/shot.png" "$QB_TMP/$exe.$dpi.png"
  if [ "$exe" = two.exe ]; then
    # The larger form lies beside the 96-DPI picture while the wizard runs.
    expect_same_file "$m/h100.bmp" "$QB_WORK/4.tmp" "the 100 % picture as support file 4"
    expect_same_file "$m/h150.bmp" "$QB_WORK/4_1.tmp" "the 150 % picture as 4_1.tmp"
  fi
  qb_cancel_installer "$T"
  qb_wait_exit $pid
  expect_eq "$QB_RC" 2 "closed by the user"
  [ ! -e "$QB_WORK" ] || fail "working folder left: $(ls "$QB_WORK")"
}

want_red=$((150 * 57)) want_blue=0
run two.exe 96
echo "ok: at 96 DPI the 100 % picture shows at its size ($red red pixels, no blue)"
echo "ok: the 150 % picture came as 4_1.tmp and the working folder went with it"

wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null
wineserver -k 2>/dev/null || true

want_red=0 want_blue=$((225 * 86))
run two.exe 144
echo "ok: at 144 DPI the 150 % picture shows at its own size ($blue blue pixels, no red)"

# A form an earlier run left behind (one that ended abruptly) is no form of
# this package's picture.
mkdir -p "$QB_WORK"
cp "$m/h150.bmp" "$QB_WORK/4_1.tmp"
want_red=$((225 * 86)) want_blue=0
run one.exe 144
echo "ok: with one picture, 144 DPI stretches it to 225 x 86 ($red red pixels), a 4_1.tmp left behind is not shown"
