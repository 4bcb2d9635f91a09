#!/usr/bin/env bash
# What the search for the game folder costs under Wine: a prefix with 300
# uninstall entries (a third naming folders that hold no game, a third naming
# folders that are not there, a third with only a DisplayIcon, one of them
# the game's) and two fixed drives (C: and D:, Wine's Z: taken away); a first
# start with a link and no setting.ini, so the launcher searches, finds the
# game and launches it. Prints the median ms from the search's start to its
# end (the traced build's "folder-search" and "folder-searched" steps), and
# the same with only the prefix's own entries, over the rounds.
#   bench/folder_search_wine.sh [rounds]   (default 7; after a Windows build
#   with the test programs: build/win32, or build/win64 where 32-bit programs
#   cannot run; builds <build>-search-trace itself, with no update host, so
#   it uses no fixed port and needs no lock)
set -uo pipefail
rounds=${1:-7}
entries=300
top=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=../scripts/wine-env.sh
. "$top/scripts/wine-env.sh"
vantro_windows_build "$(vantro_windows_bits)"
build=${VANTRO_WIN32_BUILD:-$top/$VANTRO_WINDOWS_DIR}
cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
[ -f "$build/CMakeCache.txt" ] || { echo "folder_search_wine: no build in $build" >&2; exit 1; }
trace_build="$build-search-trace"
if ! { cmake -S "$top" -B "$trace_build" -DCMAKE_TOOLCHAIN_FILE="$(cache_value CMAKE_TOOLCHAIN_FILE)" \
  -DCMAKE_BUILD_TYPE="$(cache_value CMAKE_BUILD_TYPE)" -DVANTRO_TESTS=OFF -DVANTRO_STARTUP_TRACE=ON \
  -DVANTRO_UPDATE_HOST= -DVANTRO_SITE_HOST= &&
  cmake --build "$trace_build" --target vantro; } >"$trace_build.log" 2>&1; then
  echo "folder_search_wine: the traced build failed (see $trace_build.log)" >&2
  exit 1
fi
export VANTRO_EXE="$trace_build/launcher/win32/vantro.exe"
export VANTRO_ROBOT_EXE="$build/tests/support/robot/robot.exe"
export VANTRO_CMD_EXE="$build/tests/support/robot/cmd/cmd.exe"
VANTRO_UPDATE_HOST=127.0.0.1:0  # asked by no one: the build has no update host
VANTRO_VERSION=$(sed -n 's/^project(vantro VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")
VANTRO_SETUP_EXE=$VANTRO_EXE  # nothing is installed; e2e_begin only wants a file
export VANTRO_UPDATE_HOST VANTRO_VERSION VANTRO_SETUP_EXE

unset DISPLAY VANTRO_WINEPREFIX
export E2E_SECONDS=$((120 + rounds * 40))
# shellcheck source=../tests/e2e/e2e-lib.sh
. "$top/tests/e2e/e2e-lib.sh"
e2e_update_server() { :; }
e2e_begin folder-search-bench

# Two fixed drives: C: and a D: of its own.
rm -f "$WINEPREFIX/dosdevices/z:"
mkdir -p "$E2E_TMP/d-drive"
ln -sfn "$E2E_TMP/d-drive" "$WINEPREFIX/dosdevices/d:"
e2e_game_exe "$E2E_C/Games/LoL"

# round <label>: a first start that searches; prints the search's ms.
round() {
  rm -f "$E2E_INI" "$E2E_CMD_LOG" "$E2E_C"/search-trace.log.*
  VANTRO_STARTUP_TRACE='C:\search-trace.log' e2e_start 'kivra://bench|search'
  [ -n "$(e2e_cmd_calls 1 30)" ] || e2e_fail "$1: the game was not found and launched"
  e2e_close_main >/dev/null
  awk '$3 == "folder-search" { s = $1 } $3 == "folder-searched" { e = $1 }
       END { if (s && e) printf "%.1f\n", (e - s) / 1000 }' "$E2E_C"/search-trace.log.*
}
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
series() {
  local r
  for ((r = 0; r < rounds; r++)); do round "$1"; done | median
}

# The prefix's own entries, and the game's.
key='HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall'
wine reg add "${key/HKEY_LOCAL_MACHINE/HKLM}\\League of Legends" /v InstallLocation /d 'C:\Games\LoL' /f \
  >/dev/null 2>&1
own=$(e2e_registry "${key/HKEY_LOCAL_MACHINE/HKLM}" | grep -ci '^HKEY_LOCAL_MACHINE.*uninstall.')
few=$(series "few entries")

# 300 entries in all, written at once through regedit.
{
  printf 'REGEDIT4\r\n\r\n'
  for ((i = own; i < entries; i++)); do
    printf '[%s\\Program %03d]\r\n"DisplayName"="Program %03d"\r\n' "$key" "$i" "$i"
    case $((i % 3)) in
      0) mkdir -p "$E2E_C/Apps/Program $i"
         printf '"InstallLocation"="C:\\\\Apps\\\\Program %03d"\r\n' "$i" ;;
      1) printf '"InstallLocation"="C:\\\\Gone\\\\Program %03d\\\\"\r\n' "$i" ;;
      2) printf '"DisplayIcon"="\\"C:\\\\Apps\\\\Icons %03d\\\\app.exe\\",0"\r\n' "$i" ;;
    esac
    printf '\r\n'
  done
} >"$E2E_C/entries.reg"
wine regedit /S 'C:\entries.reg' >/dev/null 2>&1
count=$(e2e_registry "${key/HKEY_LOCAL_MACHINE/HKLM}" | grep -ci '^HKEY_LOCAL_MACHINE.*uninstall.')
many=$(series "$count entries")

echo "the search for the game folder under Wine ($VANTRO_WINEARCH prefix), median of $rounds first starts, ms:"
echo "  uninstall entries: $own (the prefix's own and the game's), fixed drives: 2, search_ms=$few"
echo "  uninstall entries: $count, fixed drives: 2, search_ms=$many"
e2e_finish
