#!/usr/bin/env bash
# Click-to-game time under Wine, two cases, each beside a trivial program's
# start in the same warm prefix (the recording cmd stand-in, from its start to
# its own log line), medians of the rounds in ms:
#   first start: vantro.exe started with a link (game folder set, local update
#     server publishing the own version) until the start of cmd;
#   hand-off:    a second vantro.exe started with a link while the first runs,
#     from the second's start until the start of cmd (launched by the first).
# Then the split: the same rounds with a build that writes a timestamp at each
# start-up step (-DVANTRO_STARTUP_TRACE=ON, built here beside the measured
# build as <build>-trace), printed as the median ms each step took since the
# one before it.
#   bench/startup_wine.sh [rounds]   (default 7; after a Windows build with a
#   loopback update host: build/win32, or build/win64 where 32-bit programs
#   cannot run; VANTRO_WIN32_BUILD names another build folder, and
#   VANTRO_BENCH_BASELINE another vantro.exe built for the same update host,
#   measured in the same rounds)
set -uo pipefail
rounds=${1:-7}
top=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=../scripts/wine-env.sh
. "$top/scripts/wine-env.sh"
vantro_windows_build "$(vantro_windows_bits)"
build=${VANTRO_WIN32_BUILD:-$top/$VANTRO_WINDOWS_DIR}
cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
[ -f "$build/CMakeCache.txt" ] || { echo "startup_wine: no build in $build" >&2; exit 1; }
export VANTRO_EXE="$build/launcher/win32/vantro.exe"
export VANTRO_ROBOT_EXE="$build/tests/support/robot/robot.exe"
export VANTRO_CMD_EXE="$build/tests/support/robot/cmd/cmd.exe"
VANTRO_UPDATE_HOST=$(cache_value VANTRO_UPDATE_HOST)
VANTRO_VERSION=$(sed -n 's/^project(vantro VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")
# The bench installs nothing; e2e_begin only wants a file there.
VANTRO_SETUP_EXE=$VANTRO_EXE
export VANTRO_UPDATE_HOST VANTRO_VERSION VANTRO_SETUP_EXE
[[ "$VANTRO_UPDATE_HOST" =~ ^127\.0\.0\.1:[0-9]+$ ]] ||
  { echo "startup_wine: $build must be built with a loopback update host" >&2; exit 1; }

# The traced build: the same sources, options and hosts, with the timestamps.
trace_build="$build-trace"
if ! { cmake -S "$top" -B "$trace_build" -DCMAKE_TOOLCHAIN_FILE="$(cache_value CMAKE_TOOLCHAIN_FILE)" \
  -DCMAKE_BUILD_TYPE="$(cache_value CMAKE_BUILD_TYPE)" -DVANTRO_TESTS=OFF -DVANTRO_STARTUP_TRACE=ON \
  -DVANTRO_UPDATE_HOST="$VANTRO_UPDATE_HOST" -DVANTRO_SITE_HOST="$(cache_value VANTRO_SITE_HOST)" &&
  cmake --build "$trace_build" --target vantro; } >"$trace_build.log" 2>&1; then
  echo "startup_wine: the traced build failed (see $trace_build.log)" >&2
  exit 1
fi

unset DISPLAY VANTRO_WINEPREFIX
export E2E_SECONDS=$((120 + rounds * 60))
# shellcheck source=../tests/e2e/e2e-lib.sh
. "$top/tests/e2e/e2e-lib.sh"
e2e_begin startup-bench
e2e_game_exe "$E2E_C/Games/LoL"
e2e_ini 'lol_path=C:\Games\LoL'

now_us() { echo "${EPOCHREALTIME/./}"; }
# wait_lines <file> <count>: until the file has that many lines (20 s at most).
# Polls with shell builtins only: a fork every few ms would take CPU from the
# very start-up it times.
exec {never}<> <(:)
wait_lines() {
  local i lines
  for ((i = 0; i < 4000; i++)); do
    if [ -f "$1" ]; then
      mapfile -t lines <"$1"
      [ "${#lines[@]}" -ge "$2" ] && return 0
    fi
    read -r -t 0.005 -u "$never"
  done
  return 1
}
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
ms_since() { echo $((($(now_us) - $1) / 1000)); }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN{printf "%.2f", a/b}'; }

trivial_log="$E2E_C/trivial/cmd-calls.log"
mkdir -p "$E2E_C/trivial" && cp "$VANTRO_CMD_EXE" "$E2E_C/trivial/trivial.exe"
marks="$E2E_C/bench-marks.log"
# mark <case> <event>: a line of the bench's own beside the traces, on their clock.
mark() { echo "$(now_us) bench $1 $2" >>"$marks"; }
launches=0 trivial_runs=0

# The times in ms, by "<label> <case>", each list spaced.
declare -A times
# record <label> <case> <start>: the time from start until now, under a label.
record() { [ -n "$1" ] && times["$1 $2"]+=" $(ms_since "$3")"; }
median_of() { tr ' ' '\n' <<<"${times["$1"]}" | grep . | median; }

# trivial_round [label]: one start of the trivial program.
trivial_round() {
  local start pid
  start=$(now_us)
  wine 'C:\trivial\trivial.exe' x >/dev/null 2>&1 &
  pid=$!
  trivial_runs=$((trivial_runs + 1))
  wait_lines "$trivial_log" "$trivial_runs" && record "${1:-}" trivial "$start"
  wait "$pid"
}

# round <exe> [label]: one first start and one hand-off of that vantro.exe,
# their times kept under the label.
round() {
  local start pid
  cp "$1" "$E2E_APP/vantro.exe"
  mark first start
  start=$(now_us)
  e2e_start "kivra://8394 first$launches"
  launches=$((launches + 1))
  wait_lines "$E2E_CMD_LOG" "$launches" && record "${2:-}" first "$start"
  mark first cmd
  e2e_main_window >/dev/null
  # Let the first instance settle into its message loop.
  sleep 0.5

  mark hand-off start
  start=$(now_us)
  wine "$E2E_EXE" "kivra://8394 handed$launches" >/dev/null 2>&1 &
  pid=$!
  launches=$((launches + 1))
  wait_lines "$E2E_CMD_LOG" "$launches" && record "${2:-}" hand-off "$start"
  mark hand-off cmd
  wait "$pid"
  e2e_close_main >/dev/null
}

# report <label> <what>: the label's medians beside the trivial program's.
report() {
  local f h
  f=$(median_of "$1 first")
  h=$(median_of "$1 hand-off")
  echo "  $2 first start: vantro_ms=$f trivial_ms=$t ratio=$(ratio "$f" "$t")"
  echo "  $2 hand-off:    vantro_ms=$h trivial_ms=$t ratio=$(ratio "$h" "$t")"
}

# Rounds alternate: the trivial program, this build and, when
# VANTRO_BENCH_BASELINE names another vantro.exe (an older build, say), that
# one, so that all see the same load of the machine.
baseline=${VANTRO_BENCH_BASELINE:-}
# Warms the prefix: the first start of a program in it reads more from disk.
trivial_round && round "$VANTRO_EXE"
for ((r = 0; r < rounds; r++)); do
  trivial_round this
  round "$VANTRO_EXE" this
  [ -n "$baseline" ] && round "$baseline" baseline
done
t=$(median_of "this trivial")
echo "start-up to cmd under Wine, medians of $rounds, ms:"
echo "  trivial program: trivial_ms=$t"
report this "this build:"
[ -n "$baseline" ] && report baseline "baseline:  "

# The split, with the traced build in place of the measured one.
export VANTRO_STARTUP_TRACE='C:\startup-trace.log'
rm -f "$marks"
for ((r = 0; r < rounds; r++)); do round "$trace_build/launcher/win32/vantro.exe"; done
unset VANTRO_STARTUP_TRACE
# Per case: the steps in the order of its first round, each the median of
# (its time - the time of the line before it); "cmd" is the start of cmd as
# the bench saw it (its log line).
awk '
  $2 == "bench" && $4 == "start" { c = $3; last = $1; launched = 0; next }
  { sub(/\r$/, "") }
  c == "" { next }
  {
    step = $2 == "bench" ? "cmd" : $3
    # After the launch: what the first instance does while cmd starts.
    if (launched && step != "cmd") { Add(c " after", step, $1 - off); off = $1; next }
    Add(c, step, $1 - last)
    last = $1
    if (step == "shell-execute-returned") { launched = 1; off = $1 }
    if (step == "cmd") c = ""
  }
  function Add(list, step, us,    key) {
    key = list SUBSEP step
    if (!(key in count)) order[list, ++steps[list]] = step
    d[key, ++count[key]] = us / 1000
  }
  function Median(key,    i, j, t, m) {
    m = count[key]
    for (i = 1; i <= m; i++) v[i] = d[key, i]
    for (i = 2; i <= m; i++) for (j = i; j > 1 && v[j - 1] > v[j]; j--) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
    return v[int((m + 1) / 2)]
  }
  function Print(list, title,    i) {
    if (!steps[list]) return
    print title
    for (i = 1; i <= steps[list]; i++) printf "  %-24s %6.1f\n", order[list, i], Median(list SUBSEP order[list, i])
  }
  END {
    Print("first", "split, first start (traced build, median ms since the step before):")
    Print("first after", "  then, while cmd starts (ms since the step before, from shell-execute-returned):")
    Print("hand-off", "split, hand-off (traced build, median ms since the step before):")
    Print("hand-off after", "  then, while cmd starts:")
  }' < <(sort -n "$marks" "$E2E_C"/startup-trace.log.*)
e2e_finish
