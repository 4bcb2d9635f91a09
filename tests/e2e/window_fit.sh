#!/usr/bin/env bash
# The main window where its design does not fit: at 144 dpi its layout is
# scaled by 3/2 and the window moves, unchanged in size, until it lies inside
# the 1280x1024 screen; on a 1024x768 screen at 96 dpi it keeps the design's
# size and moves to fit. A screenshot at 144 dpi is kept (E2E_KEEP).
. "$(dirname "$0")/e2e-lib.sh"
e2e_begin window-fit

e2e_game_exe "$E2E_C/Games/LoL"
e2e_ini 'lol_path=C:\Games\LoL'
e2e_legible_screen

field() { sed -n "s/.* $1=\([^ ]*\).*/\1/p" <<<"$2"; }
control() { grep "class=$1 " <<<"$dump"; }
# resolution <dpi>: the screen's resolution for every program started after.
resolution() {
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  wineserver -w 2>/dev/null || true
  wineserver -k 2>/dev/null
}
# open_main: starts the launcher; dump is its window and controls, main the
# window's line, left, top, width and height its place on the screen.
open_main() {
  e2e_start
  dump=$(e2e_robot dump "$(e2e_main_window)")
  e2e_say "$dump"
  main=$(head -n 1 <<<"$dump")
  IFS=, read -r left top width height <<<"$(field rect "$main")"
}

resolution 144
open_main
e2e_expect "144 dpi: client area" "$(field client "$main")" "527x738"
e2e_expect "144 dpi: Edit1, Button1, Label1, web" \
  "$(field rect "$(control Edit)") $(field rect "$(control Button)") $(field rect "$(control Static)") $(field rect "$(control VantroWebArea)")" \
  "144,17,242,32 396,12,122,38 12,24,182,20 0,60,525,675"
e2e_expect "144 dpi: moved left and up by its overhang into the 1280x1024 screen" \
  "$left,$top $((left >= 0 && top >= 0))" "$((1280 - width)),$((1024 - height)) 1"
sleep 0.5
import -window root "$E2E_TMP/root.png" &&
  convert "$E2E_TMP/root.png" -crop "${width}x${height}+${left}+${top}" +repage "$E2E_TMP/main-window-144dpi.png" &&
  rm -f "$E2E_TMP/root.png"
e2e_expect "144 dpi: screenshot taken" "$([ -s "$E2E_TMP/main-window-144dpi.png" ] && echo yes)" yes
e2e_close_main

# A screen of its own, 1024x768, on a display number Xvfb picks free; the
# run's display comes back for anything after.
resolution 96
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$E2E_TMP/display" 2>"$E2E_TMP/xvfb.log" &
small_xvfb=$!
for ((i = 0; i < 50; i++)); do
  [ -s "$E2E_TMP/display" ] && break
  sleep 0.1
done
if [ -s "$E2E_TMP/display" ]; then
  run_display=$DISPLAY
  DISPLAY=":$(head -n 1 "$E2E_TMP/display")"
  export DISPLAY
  open_main
  e2e_expect "1024x768: the design's client area and Edit1" \
    "$(field client "$main") $(field rect "$(control Edit)")" "351x492 96,11,161,21"
  e2e_expect "1024x768: moved left and up by its overhang into the screen" \
    "$left,$top $((left >= 0 && top >= 0))" "$((1024 - width)),$((768 - height)) 1"
  e2e_close_main
  wineserver -k 2>/dev/null
  export DISPLAY=$run_display
else
  e2e_fail "no 1024x768 screen: $(cat "$E2E_TMP/xvfb.log")"
fi
kill "$small_xvfb" 2>/dev/null && wait "$small_xvfb" 2>/dev/null
e2e_finish
