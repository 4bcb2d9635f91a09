#!/usr/bin/env bash
# The interop suite: our HTTP client against real servers on loopback (nginx,
# Python's HTTP/1.0 server, tinyproxy, dante), its bodies compared with
# curl's, what it sent read back from the servers' logs. Installs what is
# missing, starts the servers with their own configurations in a temp folder
# and stops them at its end, also on failure or interrupt.
# One line per check, "ok <name>" or "FAIL <name>: why"; the last line is
# "interop: N passed, M failed".
#   run.sh [path of interop_client]   (default: build/native's)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
client=${1:-$top/build/native/tests/interop/interop_client}

passed=0
failed=0
ok() {
  passed=$((passed + 1))
  echo "ok $1"
}
fail() {
  failed=$((failed + 1))
  echo "FAIL $1: $2"
}
finish() {
  echo "interop: $passed passed, $failed failed"
  [ "$failed" -eq 0 ]
  exit
}

if [ ! -x "$client" ]; then
  fail driver "$client is not built"
  finish
fi

# The servers, and what the checks read them with (ss is in iproute2).
packages=(nginx-light tinyproxy-bin dante-server python3 curl openssl iproute2)
started=$SECONDS
if ! "$top/scripts/setup.sh" "${packages[@]}"; then
  fail install "could not install ${packages[*]}"
  finish
fi
echo "interop: install took $((SECONDS - started)) s"

work=$(mktemp -d /tmp/vantro-interop.XXXXXX)
cleanup() {
  stop_servers
  release_ports
  # VANTRO_INTEROP_KEEP=1 keeps the logs and bodies to look at.
  if [ "${VANTRO_INTEROP_KEEP:-0}" = 1 ]; then
    echo "interop: kept $work"
  else
    rm -rf "$work"
  fi
}
# shellcheck source=tests/interop/checks.sh
. "$here/checks.sh"
trap cleanup EXIT
trap 'exit 130' INT TERM

busy=$(listening_ports)
if [ -n "$busy" ]; then
  fail ports "already in use, not ours to stop: $(echo "$busy" | paste -sd' ' -)"
  finish
fi

started=$SECONDS
if start_servers >"$work/start.log" 2>&1; then
  ok servers-start
else
  fail servers-start "$(paste -sd' ' "$work/start.log")"
  finish
fi
mkdir -p "$work/out"

run_checks

cleanup
trap - EXIT
left=$(listening_ports | paste -sd' ' -)
if [ -z "$left" ] && { [ ! -e "$work" ] || [ "${VANTRO_INTEROP_KEEP:-0}" = 1 ]; }; then
  ok cleanup
else
  fail cleanup "still listening: ${left:-none}; temp folder ${work}"
fi
echo "interop: checks took $((SECONDS - started)) s"
finish
