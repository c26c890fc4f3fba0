#!/usr/bin/env bash
# The wizard at 150 %: the same installer is walked at 96 DPI and, in a
# second prefix state with LogPixels 144 (HKCU\Control Panel\Desktop, which
# Wine reads for the system DPI), at 144 DPI. On every page the client area,
# each control's place and size and its font height are 1.5 times those at
# 96 DPI (within a pixel; a control sized to its text within a pixel in
# height and 10 % in width), and every caption fits its control (a
# wrapping text whose lines would not fit at 144 DPI may take a smaller
# font, and the test says so). A
# 61-character application name shows whole in the Welcome title.
source "$(dirname "$0")/lib.sh"
qb_begin

m=$QB_TMP/m
mkdir -p "$m/app"
echo "payload" >"$m/app/p.txt"
echo "The license." >"$m/license.txt"
# 61 characters.
name="Quillbox Interplanetary Document Archiving Suite Professional"
[ ${#name} -eq 61 ] || fail "the name has ${#name} characters"
cat >"$m/m.toml" <<TOML
[app]
name = "$name"
version = "1"
title = "DPI Test"
destination = "C:\\\\DpiTest"
license = "license.txt"
[uninstall]
enabled = false
[settings]
branding_text = "DPI Brand"
program_to_run = "{app}\\\\p.txt"
[[files]]
source = "app/p.txt"
[[shortcuts]]
location = "desktop"
name = "DPI Desktop"
target = "{app}\\\\p.txt"
TOML
qb_tool build "$m/m.toml" -o "$QB_TMP/setup.exe" >/dev/null
T="DPI Test"
W=$QB_WIZARD_CLASS

# Walks the wizard and keeps each page's layout (visible controls) in
# $QB_TMP/$1.<page number>.
page_number=0
keep_layout() {
  page_number=$((page_number + 1))
  qb_drive layout "$T" "$W" | tr -d '\r' | grep -E '^window|visible=1' >"$QB_TMP/$run.$page_number"
}
walk() {
  run=$1
  page_number=0
  rm -rf "$QB_TMP/C-dest"
  wine "$QB_TMP/setup.exe" &
  local pid=$!
  qb_walk_wizard "$T" keep_layout
  qb_wait_exit $pid
  rm -rf "$WINEPREFIX/drive_c/DpiTest"
  echo "ok: walked $page_number pages at $run DPI"
}
walk 96
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null
wineserver -k 2>/dev/null || true
walk 144

# The Welcome title holds the whole name, in lines broken between words.
for run in 96 144; do
  line=$(grep '^control|Static|0|Welcome to the ' "$QB_TMP/$run.1")
  expect_eq "$(cut -d'|' -f4 <<<"$line")" "Welcome to the $name Setup" "the Welcome title's text at $run DPI"
  grep -q '|fits=1$' <<<"$line" || fail "the Welcome title at $run DPI does not show whole: $line"
  echo "ok: the 61-character name shows whole in the Welcome title at $run DPI (${line##*|font=})"
done

# One page at both scales: the same controls in the same order.
compare_page() {
  local page=$1
  paste -d'\n' "$QB_TMP/96.$page" "$QB_TMP/144.$page" | awk -v page="$page" '
    function field(line, key,   i, n, parts) {
      n = split(line, parts, "|")
      for (i = 1; i <= n; i++) if (index(parts[i], key "=") == 1) return substr(parts[i], length(key) + 2)
      return ""
    }
    function near(a, b, slack) { d = b - a * 1.5; return d <= slack && d >= -slack }
    NR % 2 == 1 { small = $0; next }
    {
      big = $0
      if (small ~ /^window/) {
        split(field(small, "client"), s, ","); split(field(big, "client"), b, ",")
        if (!near(s[1], b[1], 1) || !near(s[2], b[2], 1)) { print "page " page ": client " field(small, "client") " -> " field(big, "client"); bad++ }
        next
      }
      split(small, sp, "|"); split(big, bp, "|")
      # The free space on the drive may change between the two walks.
      same = sp[4] == bp[4] || (index(sp[4], "Space available on ") == 1 && index(bp[4], "Space available on ") == 1)
      if (sp[2] != bp[2] || !same) { print "page " page ": controls differ: " small " / " big; bad++; next }
      split(field(small, "at"), s, ","); split(field(big, "at"), b, ",")
      # Texts and boxes sized to their caption grow with the text as drawn.
      fitted = (sp[2] == "Static" && s[3] < 300 && s[4] <= 16) || (sp[2] == "Button" && s[4] < 23)
      wslack = fitted ? 1.5 * s[3] / 10 + 1 : 1
      if (!near(s[1], b[1], 1) || !near(s[2], b[2], 1) || !near(s[3], b[3], wslack) || !near(s[4], b[4], 1)) {
        print "page " page ": " sp[2] " \"" sp[4] "\" at " field(small, "at") " -> " field(big, "at"); bad++
      }
      # A text that wraps may take a smaller font where its lines, as drawn
      # at this scale, would not fit otherwise (never a larger one).
      shrunk = sp[2] == "Static" && -field(big, "font") < -1.5 * field(small, "font") && field(big, "fits") == "1"
      if (field(small, "font") != "none" && !near(-field(small, "font"), -field(big, "font"), 1)) {
        if (shrunk) print "note: page " page ": \"" sp[4] "\" shrinks to fit: font " field(small, "font") " -> " field(big, "font")
        else { print "page " page ": " sp[2] " \"" sp[4] "\" font " field(small, "font") " -> " field(big, "font"); bad++ }
      }
      if (field(big, "fits") != "1" || field(small, "fits") != "1") {
        print "page " page ": " sp[2] " \"" sp[4] "\" caption does not fit"; bad++
      }
      checked++
    }
    END { print "checked " checked; exit bad ? 1 : 0 }'
}
[ "$(ls "$QB_TMP"/96.* | wc -l)" -eq "$(ls "$QB_TMP"/144.* | wc -l)" ] || fail "not as many pages at 144 DPI"
for f in "$QB_TMP"/96.*; do
  page=${f##*.}
  [ "$(wc -l <"$f")" -eq "$(wc -l <"$QB_TMP/144.$page")" ] ||
    fail "page $page: $(wc -l <"$f") controls at 96 DPI, $(wc -l <"$QB_TMP/144.$page") at 144"
  out=$(compare_page "$page") || fail "$(printf 'page %s at 144 DPI is not 1.5 times the page at 96:\n%s' "$page" "$out")"
  grep '^note' <<<"$out" || true
  echo "ok: page $page at 144 DPI: client area, places, sizes and fonts 1.5 times those at 96 DPI, captions fit (${out##* } controls)"
done
grep -q '|font=-17|' "$QB_TMP/144.1" || fail "no control at 144 DPI has the 17-pixel font"
grep -q 'client=743,539' "$QB_TMP/144.1" || fail "the client area at 144 DPI: $(head -n1 "$QB_TMP/144.1")"
echo "ok: the wizard's client area is 743 x 539 at 144 DPI"
