#!/usr/bin/env bash
# The background window covers the screen behind the wizard: a gradient from
# the first colour at the top to the second at the bottom, and the lower
# text in the bottom-right corner, 8 pixels from both edges.
source "$(dirname "$0")/lib.sh"
qb_begin

m=$QB_TMP/m
mkdir -p "$m/app"
echo "program" >"$m/app/prog.txt"
cat >"$m/m.toml" <<'TOML'
[app]
name = "Background Test"
version = "1"
title = "Background Test"
destination = "C:\\Background"
[settings]
show_background = true
background_gradient = true
gradient_colour_1 = 0xFF0000
gradient_colour_2 = 0x0000FF
background_upper_text = "Background Test"
background_lower_text = "LOWER TEXT"
lower_colour = 0x00FFFF
lower_font_height = -24
[[files]]
source = "app/prog.txt"
TOML
qb_tool build "$m/m.toml" -o "$QB_TMP/setup.exe" >/dev/null
T="Background Test"

wine "$QB_TMP/setup.exe" &
pid=$!
qb_drive wait "$T" 30000 "$QB_WIZARD_CLASS" || fail "no wizard"
pixel() { convert "$QB_TMP/shot.png" -crop "1x1+$1+$2" -depth 8 txt:- | tail -1 | sed -E 's/.*\(([0-9]+),([0-9]+),([0-9]+).*/\1 \2 \3/'; }
# Takes a picture of the screen and checks it; WHY says what is not as it
# should be. The windows paint once they show, so the picture is taken again
# until everything is in place.
screen_shows() {
  import -window root "$QB_TMP/shot.png" || { why="no screenshot"; return 1; }
  W=$(identify -format '%w' "$QB_TMP/shot.png")
  H=$(identify -format '%h' "$QB_TMP/shot.png")
  read -r r g b < <(pixel 4 4)
  top="$r $g $b"
  [ "$b" -ge 240 ] && [ "$r" -le 15 ] && [ "$g" -le 15 ] ||
    { why="top left is not the first colour (blue): $top"; return 1; }
  read -r r g b < <(pixel 4 $((H - 4)))
  bottom="$r $g $b"
  [ "$r" -ge 240 ] && [ "$b" -le 15 ] && [ "$g" -le 15 ] ||
    { why="bottom left is not the second colour (red): $bottom"; return 1; }
  read -r r g b < <(pixel 4 $((H / 2)))
  middle="$r $g $b"
  [ "$r" -ge 100 ] && [ "$r" -le 155 ] && [ "$b" -ge 100 ] && [ "$b" -le 155 ] ||
    { why="the middle is not half way: $middle"; return 1; }
  [ "$(pixel $((W - 4)) 4)" = "$top" ] || { why="the gradient is not the same across a row"; return 1; }
  # The wizard stands in front of it, in the middle of the screen.
  [ "$(pixel $((W / 2)) $((H / 2)))" != "$middle" ] || { why="the wizard is not in front of the background"; return 1; }
  # The lower text: yellow pixels in the bottom-right corner, ending 8 pixels
  # (plus the glyphs' own margin) from the edges.
  convert "$QB_TMP/shot.png" -crop "400x80+$((W - 400))+$((H - 80))" -depth 8 txt:- |
    awk -F'[,: ()]+' '/^[0-9]/ { if ($3 >= 200 && $4 >= 200 && $5 <= 80) print $1, $2 }' >"$QB_TMP/yellow.txt"
  [ -s "$QB_TMP/yellow.txt" ] || { why="no lower text in the bottom-right corner"; return 1; }
  read -r minx maxx maxy < <(awk 'NR==1{a=$1;b=$1;c=$2} {if($1<a)a=$1; if($1>b)b=$1; if($2>c)c=$2} END{print a, b, c}' "$QB_TMP/yellow.txt")
  right=$((400 - 1 - maxx))
  low=$((80 - 1 - maxy))
  [ "$right" -ge 8 ] && [ "$right" -le 14 ] || { why="the lower text ends $right pixels from the right edge"; return 1; }
  [ "$low" -ge 8 ] && [ "$low" -le 20 ] || { why="the lower text ends $low pixels from the bottom edge"; return 1; }
}
why=""
qb_wait_until 30 screen_shows || fail "$why"
echo "ok: the top is the first colour ($top)"
echo "ok: the bottom is the second colour ($bottom)"
echo "ok: the middle is half way ($middle)"
echo "ok: the gradient runs from top to bottom"
echo "ok: the wizard is in front"
echo "ok: the lower text sits in the bottom-right corner ($right and $low pixels from the edges)"
cp "$QB_TMP/shot.png" "${QB_SCREENSHOT_DIR:-$QB_TMP}/background.png" 2>/dev/null || true

# A click on the background brings the wizard back to the front.
BG=TQuillboxBackground
in_front() { qb_drive state "$1" "$2" | grep_q 'foreground=1'; }
qb_drive front Quillbox $BG
qb_wait_until 10 in_front Quillbox $BG || fail "the background did not come to the front"
qb_drive press Quillbox $BG
qb_wait_until 10 in_front "$T" "$QB_WIZARD_CLASS" ||
  fail "a click on the background left the wizard behind: $(qb_drive state "$T" "$QB_WIZARD_CLASS")"
echo "ok: a click on the background brings the wizard to the front"
# A minimised wizard takes the background along; restored, it brings it back.
background=$(qb_handle Quillbox $BG)
qb_drive minimize "$T" "$QB_WIZARD_CLASS"
qb_wait_gone "$background" 10 || fail "the background stayed with a minimised wizard"
qb_drive restore "$T" "$QB_WIZARD_CLASS"
qb_drive wait Quillbox 10000 $BG || fail "the background did not come back"
qb_drive state Quillbox $BG | grep -q 'visible=1' || fail "the background did not come back"
echo "ok: minimise and restore hide and show the background"

qb_cancel_installer "$T"
qb_wait_exit $pid
expect_eq "$QB_RC" 2 "cancelled"

# Silent: no background window at all.
rc=0
wine "$QB_TMP/setup.exe" /S || rc=$?
expect_eq "$rc" 0 "silent run"
