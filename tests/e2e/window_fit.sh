#!/usr/bin/env bash
# The main window where its design does not fit: at 144 dpi its layout is
# scaled by 3/2 and the window moves, unchanged in size, until it lies inside
# the 1280x1024 screen; on a 1024x768 screen at 96 dpi it keeps the design's
# size and moves to fit. A screenshot at 144 dpi is kept (E2E_KEEP).
. "$(dirname "$0")/e2e-lib.sh"
e2e_begin window-fit
command -v import >/dev/null || { echo "e2e: import is missing (imagemagick)" >&2; exit 1; }

e2e_game_exe "$E2E_C/Games/LoL"
e2e_ini 'lol_path=C:\Games\LoL'
# A legible screenshot, as in main_window.sh: Chinese glyphs from WenQuanYi,
# and Wine draws the frame itself since Xvfb has no window manager.
for face in 'MS Sans Serif' Tahoma; do
  wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
    /v "$face" /t REG_MULTI_SZ /d 'wqy-microhei.ttc,WenQuanYi Micro Hei' /f >/dev/null 2>&1
done
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1

field() { sed -n "s/.* $1=\([^ ]*\).*/\1/p" <<<"$2"; }
control() { grep "class=$1 " <<<"$dump"; }
# resolution <dpi>: the screen's resolution for every program started after.
resolution() {
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  wineserver -w 2>/dev/null || true
  wineserver -k 2>/dev/null
}

resolution 144
e2e_start
window=$(e2e_main_window)
dump=$(e2e_robot dump "$window")
e2e_say "$dump"
main=$(head -n 1 <<<"$dump")
e2e_expect "144 dpi: client area" "$(field client "$main")" "527x738"
e2e_expect "144 dpi: Edit1, Button1, Label1, web" \
  "$(field rect "$(control Edit)") $(field rect "$(control Button)") $(field rect "$(control Static)") $(field rect "$(control VantroWebArea)")" \
  "144,17,242,32 396,12,122,38 12,24,182,20 0,60,525,675"
IFS=, read -r left top width height <<<"$(field rect "$main")"
e2e_expect "144 dpi: the window lies inside the 1280x1024 screen" \
  "$((left >= 0 && top >= 0 && left + width <= 1280 && top + height <= 1024))" 1
e2e_expect "144 dpi: moved left and up by its overhang, flush with the right and bottom edges" \
  "$left,$top" "$((1280 - width)),$((1024 - height))"
sleep 0.5
import -window root "$E2E_TMP/root.png" &&
  convert "$E2E_TMP/root.png" -crop "${width}x${height}+${left}+${top}" +repage "$E2E_TMP/main-window-144dpi.png" &&
  rm -f "$E2E_TMP/root.png"
e2e_expect "144 dpi: screenshot taken" "$([ -s "$E2E_TMP/main-window-144dpi.png" ] && echo yes)" yes
e2e_close_main

# A screen of its own, 1024x768, on a display number Xvfb picks free.
resolution 96
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$E2E_TMP/display" 2>"$E2E_TMP/xvfb.log" &
small_xvfb=$!
for ((i = 0; i < 50; i++)); do
  [ -s "$E2E_TMP/display" ] && break
  sleep 0.1
done
run_display=$DISPLAY
export DISPLAY=":$(head -n 1 "$E2E_TMP/display")"
e2e_start
window=$(e2e_main_window)
dump=$(e2e_robot dump "$window")
e2e_say "$dump"
main=$(head -n 1 <<<"$dump")
e2e_expect "1024x768: the design's client area" "$(field client "$main")" "351x492"
e2e_expect "1024x768: Edit1 as designed" "$(field rect "$(control Edit)")" "96,11,161,21"
IFS=, read -r left top width height <<<"$(field rect "$main")"
e2e_expect "1024x768: moved left and up by its overhang, flush with the right and bottom edges" \
  "$left,$top,$((left + width <= 1024 && top + height <= 768))" "$((1024 - width)),$((768 - height)),1"
e2e_close_main
wineserver -k 2>/dev/null
kill "$small_xvfb" 2>/dev/null && wait "$small_xvfb" 2>/dev/null
export DISPLAY=$run_display
e2e_finish
