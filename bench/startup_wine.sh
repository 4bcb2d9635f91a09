#!/usr/bin/env bash
# Start-up under Wine: from starting vantro.exe with a link (local update
# server publishing its own version) to the start of cmd, against a trivial
# program started the same way in the same run (the recording cmd stand-in,
# from its start to its own log line). Five rounds each, medians in ms.
#   bench/startup_wine.sh   (after a Windows build with a loopback update host:
#   build/win32, or build/win64 where 32-bit programs cannot run)
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=../scripts/wine-env.sh
. "$top/scripts/wine-env.sh"
vantro_windows_build "$(vantro_windows_bits)"
build=${VANTRO_WIN32_BUILD:-$top/$VANTRO_WINDOWS_DIR}
export VANTRO_EXE="$build/launcher/win32/vantro.exe"
export VANTRO_ROBOT_EXE="$build/tests/support/robot/robot.exe"
export VANTRO_CMD_EXE="$build/tests/support/robot/cmd/cmd.exe"
export VANTRO_UPDATE_HOST=${VANTRO_UPDATE_HOST:-127.0.0.1:47611}
unset DISPLAY VANTRO_WINEPREFIX
# shellcheck source=../tests/e2e/e2e-lib.sh
. "$top/tests/e2e/e2e-lib.sh"
e2e_begin startup-bench
e2e_game_exe "$E2E_C/Games/LoL"
e2e_ini 'lol_path=C:\Games\LoL'

now_ms() { date +%s%3N; }
# wait_lines <file> <count>: until the file has that many lines (20 s at most).
wait_lines() {
  local i
  for ((i = 0; i < 4000; i++)); do
    [ -f "$1" ] && [ "$(wc -l <"$1")" -ge "$2" ] && return 0
    sleep 0.005
  done
  return 1
}
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

trivial_log="$E2E_C/trivial/cmd-calls.log"
mkdir -p "$E2E_C/trivial" && cp "$VANTRO_CMD_EXE" "$E2E_C/trivial/trivial.exe"
launcher=() trivial=()
for round in 1 2 3 4 5; do
  start=$(now_ms)
  wine 'C:\trivial\trivial.exe' x >/dev/null 2>&1 &
  trivial_pid=$!
  wait_lines "$trivial_log" "$round" && trivial+=($(($(now_ms) - start)))
  wait "$trivial_pid"

  start=$(now_ms)
  e2e_start "kivra://8394 round$round"
  wait_lines "$E2E_CMD_LOG" "$round" && launcher+=($(($(now_ms) - start)))
  e2e_close_main >/dev/null
done
l=$(printf '%s\n' "${launcher[@]}" | median)
t=$(printf '%s\n' "${trivial[@]}" | median)
echo "start-up to cmd: vantro_ms=$l trivial_ms=$t ratio=$(awk -v a="$l" -v b="$t" 'BEGIN{printf "%.2f", a/b}')"
e2e_finish
