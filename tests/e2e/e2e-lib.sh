# shellcheck shell=bash
# Sourced by the end-to-end tests and the demo: the real vantro.exe in a Wine
# prefix of its own (a copy of the run's prefix, or a new one), driven the way
# a user would, with the window robot answering its boxes.
#
# Needs VANTRO_EXE, VANTRO_SETUP_EXE (its installer), VANTRO_ROBOT_EXE,
# VANTRO_CMD_EXE (the recording cmd.exe stand-in) and VANTRO_VERSION (the
# project's). Uses VANTRO_WINEPREFIX and DISPLAY from scripts/wine-env.sh when
# they are set, and brings up its own otherwise.
set -uo pipefail

e2e_top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
e2e_failures=0
e2e_own_wine=0

e2e_say() { printf '%s\n' "$*"; }
e2e_fail() {
  e2e_failures=$((e2e_failures + 1))
  printf 'FAIL: %s\n' "$*"
}
# e2e_expect <what> <actual> <expected>
e2e_expect() {
  if [ "$2" == "$3" ]; then
    printf 'ok: %s\n' "$1"
  else
    e2e_fail "$1"
    printf '  expected: %s\n  actual:   %s\n' "$3" "$2"
  fi
}

e2e_begin() {
  local name=$1 what
  [ -n "${VANTRO_VERSION:-}" ] || { echo "e2e: VANTRO_VERSION, the project's version, is not set" >&2; exit 1; }
  for what in VANTRO_EXE VANTRO_SETUP_EXE VANTRO_ROBOT_EXE VANTRO_CMD_EXE; do
    if [ ! -f "${!what:-}" ]; then
      echo "e2e: $what does not name a built program (${!what:-unset})" >&2
      exit 1
    fi
  done
  for what in wine wineserver Xvfb; do
    command -v "$what" >/dev/null || { echo "e2e: $what is missing: run scripts/setup.sh" >&2; exit 1; }
  done
  if [ -z "${DISPLAY:-}" ] || [ ! -d "${VANTRO_WINEPREFIX:-}" ]; then
    # shellcheck source=../../scripts/wine-env.sh
    . "$e2e_top/scripts/wine-env.sh"
    vantro_wine_up || { echo "e2e: no Wine prefix" >&2; exit 1; }
    e2e_own_wine=1
  fi
  E2E_TMP=$(mktemp -d "${TMPDIR:-/tmp}/vantro-e2e-$name.XXXXXX")
  # A prefix of our own, so this test's wineserver can be stopped at its end:
  # a copy of the run's settled prefix when there is one.
  if [ -d "${VANTRO_WINEPREFIX_TEMPLATE:-}" ]; then
    cp -a "$VANTRO_WINEPREFIX_TEMPLATE" "$E2E_TMP/prefix"
  else
    cp -a "$VANTRO_WINEPREFIX" "$E2E_TMP/prefix"
  fi
  export WINEPREFIX="$E2E_TMP/prefix" WINEARCH=${VANTRO_WINEARCH:-win32} WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  trap e2e_end EXIT
  # ctest kills a test that overruns without a chance to clean up: end first.
  trap 'e2e_fail "the test ran out of time"; exit 1' TERM
  (sleep "${E2E_SECONDS:-240}"; kill -TERM $$) >/dev/null 2>&1 &
  E2E_C="$WINEPREFIX/drive_c"
  E2E_APP="$E2E_C/vantro"
  E2E_EXE='C:\vantro\vantro.exe'
  # Whatever an earlier user of the run's prefix left goes.
  rm -rf "$E2E_APP" "$E2E_C/Games"
  wine reg delete 'HKCR\kivra' /f >/dev/null 2>&1
  mkdir -p "$E2E_APP"
  cp "$VANTRO_EXE" "$E2E_APP/vantro.exe"
  # Found before the system's cmd: the system looks beside the program first.
  cp "$VANTRO_CMD_EXE" "$E2E_APP/cmd.exe"
  E2E_INI="$E2E_APP/setting.ini"
  E2E_CMD_LOG="$E2E_APP/cmd-calls.log"
  # The shell's handler for http links records what it is given.
  mkdir -p "$E2E_C/browser"
  cp "$VANTRO_CMD_EXE" "$E2E_C/browser/browser.exe"
  wine reg add 'HKCR\http\shell\open\command' /ve /d '"C:\browser\browser.exe" "%1"' /f \
    >/dev/null 2>&1
  E2E_BROWSER_LOG="$E2E_C/browser/cmd-calls.log"
  e2e_update_server
}

# e2e_update_server [update_server.py options]: (re)starts the local update
# server on the port the launcher was built for; by default it publishes
# the launcher's own version, so the check stays quiet.
e2e_update_server() {
  [ -n "${E2E_UPDATE_PID:-}" ] && kill "$E2E_UPDATE_PID" 2>/dev/null && wait "$E2E_UPDATE_PID" 2>/dev/null
  local port=${VANTRO_UPDATE_HOST##*:}
  python3 "$e2e_top/tests/support/update_server.py" "$port" --log "$E2E_TMP/update-requests.log" \
    --body "$VANTRO_VERSION" "$@" &
  E2E_UPDATE_PID=$!
  local i
  for ((i = 0; i < 50; i++)); do
    if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
      # Someone else's server on the port answers too; ours would have lost
      # the bind and ended by now.
      sleep 0.5
      kill -0 "$E2E_UPDATE_PID" 2>/dev/null && return 0
      break
    fi
    sleep 0.1
  done
  e2e_fail "the update server did not start on port $port (is the port taken?)"
}

# e2e_newer_version: a version the launcher takes for a newer one than its own.
e2e_newer_version() { echo "${VANTRO_VERSION%.*}.$((${VANTRO_VERSION##*.} + 1))"; }

# e2e_install [installer options]: runs vantro-setup.exe silently (/S), as an
# administrator deploying it would; the exit code is the installer's.
e2e_install() {
  # Wine would copy the Start-menu shortcut into this machine's own menus.
  WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d" wine "$VANTRO_SETUP_EXE" /S "$@" \
    >/dev/null 2>&1
}
# e2e_use_installed: the helpers act on the copy the installer put into
# Program Files, with the recording cmd stand-in beside it.
e2e_use_installed() {
  E2E_APP="$E2E_C/Program Files/Vantro"
  E2E_EXE='C:\Program Files\Vantro\vantro.exe'
  E2E_INI="$E2E_APP/setting.ini"
  E2E_CMD_LOG="$E2E_APP/cmd-calls.log"
  cp "$VANTRO_CMD_EXE" "$E2E_APP/cmd.exe"
}

# e2e_browser_calls [count] [seconds]: what the shell handed to the browser.
e2e_browser_calls() {
  local want=${1:-1} i
  for ((i = 0; i < ${2:-15} * 10; i++)); do
    [ -f "$E2E_BROWSER_LOG" ] && [ "$(wc -l <"$E2E_BROWSER_LOG")" -ge "$want" ] && break
    sleep 0.1
  done
  [ -f "$E2E_BROWSER_LOG" ] || return 0
  sed -E 's/^("[^"]*"|[^ ]*) //' "$E2E_BROWSER_LOG"
}

e2e_end() {
  local code=$?
  local pid
  for pid in $(jobs -p); do kill "$pid" 2>/dev/null; done
  WINEPREFIX="$E2E_TMP/prefix" wineserver -k 2>/dev/null
  if [ -n "${E2E_KEEP:-}" ]; then
    mkdir -p "$E2E_KEEP" && cp -r "$E2E_TMP"/*.png "$E2E_KEEP"/ 2>/dev/null
  fi
  rm -rf "$E2E_TMP"
  [ "$e2e_own_wine" -eq 1 ] && vantro_wine_down
  if [ "$code" -eq 0 ] && [ "$e2e_failures" -ne 0 ]; then code=1; fi
  exit "$code"
}

# Closing line of a test script; the exit code follows the failures.
e2e_finish() {
  if [ "$e2e_failures" -eq 0 ]; then echo "e2e: all checks passed"; else echo "e2e: $e2e_failures checks failed"; fi
  [ "$e2e_failures" -eq 0 ]
}

# e2e_legible_screen: screenshots as a user sees the window: as on a Chinese
# system the dialog fonts borrow their Chinese glyphs from a font that has
# them (Debian's WenQuanYi here), and Wine draws the frame itself since Xvfb
# has no window manager.
e2e_legible_screen() {
  command -v import >/dev/null || { echo "e2e: import is missing (imagemagick)" >&2; exit 1; }
  local face
  for face in 'MS Sans Serif' Tahoma; do
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
      /v "$face" /t REG_MULTI_SZ /d 'wqy-microhei.ttc,WenQuanYi Micro Hei' /f >/dev/null 2>&1
  done
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
}

e2e_robot() { wine "$VANTRO_ROBOT_EXE" "$@" 2>/dev/null | tr -d '\r'; }

# e2e_game_exe <linux folder>: a game folder with a stand-in executable.
e2e_game_exe() { mkdir -p "$1" && echo "stand-in" >"$1/League of Legends.exe"; }
# e2e_game_rads <linux folder>: a game folder with the RADS deploy tree.
e2e_game_rads() {
  mkdir -p "$1/RADS/solutions/lol_game_client_sln/releases/0.0.1.88/deploy"
  echo "stand-in" >"$1/RADS/solutions/lol_game_client_sln/releases/0.0.1.88/deploy/League of Legends.exe"
}

# e2e_ini <key=value>...: a fresh setting.ini as the system writes it.
e2e_ini() {
  { printf '[setting]\r\n'; local line; for line in "$@"; do printf '%s\r\n' "$line"; done; } >"$E2E_INI"
}
# e2e_ini_value <key>: the value in setting.ini, "<absent>" when it is not there.
e2e_ini_value() {
  if [ -f "$E2E_INI" ] && grep -q "^$1=" "$E2E_INI"; then
    sed -n "s/^$1=//p" "$E2E_INI" | tr -d '\r'
  else
    echo "<absent>"
  fi
}

# e2e_start <args...>: starts vantro.exe as the shell would; E2E_PID is the
# wine process, and e2e_exit_code waits for its exit code.
e2e_start() {
  rm -f "$E2E_TMP/exit"
  (wine "$E2E_EXE" "$@" >/dev/null 2>&1; echo $? >"$E2E_TMP/exit") &
  export E2E_PID=$!
}
# e2e_shell_open <link>: hands the link to the shell's handler, as a browser
# does; start waits for the launcher it started, so e2e_exit_code and
# e2e_close_main follow that launcher as they follow e2e_start's.
e2e_shell_open() {
  rm -f "$E2E_TMP/exit"
  (wine start /wait "$1" >/dev/null 2>&1; echo $? >"$E2E_TMP/exit") &
  export E2E_PID=$!
}
# e2e_exit_code [seconds]: the exit code of the last started launcher, or "running".
e2e_exit_code() {
  local i
  for ((i = 0; i < ${1:-20} * 10; i++)); do
    [ -s "$E2E_TMP/exit" ] && { cat "$E2E_TMP/exit"; return; }
    sleep 0.1
  done
  echo running
}

# e2e_main_window: the handle of the launcher's main window once it shows.
e2e_main_window() {
  local ms=${1:-30000} window
  window=$(e2e_robot wait TForm1 "$ms")
  if [ -z "$window" ]; then
    # Said on the test's output, for the one reading a failure.
    e2e_say "no main window within $ms ms; the windows then:" >&2
    e2e_robot list >&2
  fi
  printf '%s\n' "$window"
}

# e2e_folder_field <main window>: what Edit1 shows, in the ANSI code page
# (1252 here), as the launcher holds and stores it.
e2e_folder_field() {
  e2e_robot dump "$1" | grep 'class=Edit' | sed 's/.* text=//' | iconv -f UTF-8 -t CP1252
}

# e2e_close_main: closes the main window and checks that the launcher ends with 0.
e2e_close_main() {
  local window
  window=$(e2e_main_window 5000)
  [ -n "$window" ] && e2e_robot close "$window" >/dev/null
  e2e_expect "closing the main window ends the launcher with exit code 0" "$(e2e_exit_code 20)" 0
}

# e2e_cmd_calls [count] [seconds]: waits until cmd was started count times and
# prints what the launcher handed to it, one line a start (the text after the
# program's name and one space).
e2e_cmd_calls() {
  local want=${1:-1} i
  for ((i = 0; i < ${2:-15} * 10; i++)); do
    [ -f "$E2E_CMD_LOG" ] && [ "$(wc -l <"$E2E_CMD_LOG")" -ge "$want" ] && break
    sleep 0.1
  done
  [ -f "$E2E_CMD_LOG" ] || return 0
  sed -E 's/^("[^"]*"|[^ ]*) //' "$E2E_CMD_LOG"
}

# e2e_parameters <folder as Windows path> <game arguments>: the text the
# launcher hands to cmd.
e2e_parameters() {
  printf '/c cd /d %s && @start "" "League of Legends.exe" "8394" "LoLLauncher.exe" "" "%s" && exit' "$1" "$2"
}

e2e_registry() { wine reg query "$@" 2>/dev/null | tr -d '\r'; }

# e2e_picker_status <dialog> <expected>: the folder picker's status line (the
# selection's full path) once it shows expected (or after 10 s), in the ANSI
# code page.
e2e_picker_status() {
  local i text
  for ((i = 0; i < 40; i++)); do
    text=$(e2e_robot dump "$1" | grep 'id=14147' | sed 's/.* text=//' | iconv -f UTF-8 -t CP1252)
    [ "$text" == "$2" ] && break
    sleep 0.25
  done
  printf '%s' "$text"
}
