#!/usr/bin/env bash
# What TLS adds to the update check under Wine: the update check's one GET
# of the version text from the local update server, plain and over TLS (a
# throwaway CA's certificate, trusted through the CA file), by the Windows
# TLS suite's driver (tls_get.exe) in a warm prefix. Each round is a new
# process, as every start of the launcher is: its first GET pays for loading
# the system's TLS (secur32, crypt32 and, under Wine, GnuTLS) besides the
# handshake and the certificate's check; the GETs after it in the same
# process show the handshake and check alone. Medians of the rounds, in ms.
#   bench/tls_handshake_wine.sh [rounds] [GETs a round]   (default 7 and 20;
#   after a Windows build with the tests: build/win32, or build/win64 where
#   32-bit programs cannot run; VANTRO_WIN32_BUILD names another build folder)
set -uo pipefail
rounds=${1:-7}
gets=${2:-20}
top=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=../scripts/wine-env.sh
. "$top/scripts/wine-env.sh"
vantro_windows_build "$(vantro_windows_bits)"
build=${VANTRO_WIN32_BUILD:-$top/$VANTRO_WINDOWS_DIR}
tls_get="$build/tests/schannel/tls_get.exe"
[ -f "$tls_get" ] || { echo "tls_handshake_wine: build tls_get in $build first" >&2; exit 1; }
vantro_wine_up || exit 1
work=$(mktemp -d "${TMPDIR:-/tmp}/vantro-tls-bench.XXXXXX")
pids=()
# vantro_wine_up's trap stops Wine; this one runs first, then calls it.
trap 'kill "${pids[@]}" 2>/dev/null; rm -rf "$work"; vantro_wine_down' EXIT
# shellcheck source=../tests/support/tls-certs.sh
. "$top/tests/support/tls-certs.sh"
make_test_certificates "$work/pki" || exit 1

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
plain_port=$(free_port)
tls_port=$(free_port)
server="$top/tests/support/update_server.py"
python3 "$server" "$plain_port" --body 1.0.2.0 &
pids+=($!)
python3 "$server" "$tls_port" --body 1.0.2.0 --tls "$work/pki/good.pem" "$work/pki/good.key" &
pids+=($!)
sleep 1
ca="Z:${work//\//\\}\\pki\\ca.pem"

median() { sort -n | awk '{ v[NR] = $1 } END { printf "%.1f", (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
# measure <name> <tls_get options>: one round's "first later" ms into <name>.
measure() {
  local name=$1 out
  shift
  out=$(wine "$tls_get" 127.0.0.1 "$@" --path /kivra/Version.txt --repeat "$gets" 2>/dev/null)
  sed -n 's/.*first GET \([0-9.]*\) ms, then \([0-9.]*\) ms a GET.*/\1 \2/p' <<<"$out" >>"$work/$name"
}
# Alternating rounds, so that a busy moment of the machine hits both.
for ((round = 0; round < rounds; round++)); do
  measure plain "$plain_port" --plain
  measure tls "$tls_port" --cafile "$ca"
done

plain_first=$(cut -d' ' -f1 "$work/plain" | median)
plain_later=$(cut -d' ' -f2 "$work/plain" | median)
tls_first=$(cut -d' ' -f1 "$work/tls" | median)
tls_later=$(cut -d' ' -f2 "$work/tls" | median)
echo "Wine $VANTRO_WINE_BITS-bit, $rounds processes of $gets GETs each, medians in ms:"
printf '  %-34s %8s %8s\n' "" plain TLS
printf '  %-34s %8s %8s\n' "first GET of a process" "$plain_first" "$tls_first"
printf '  %-34s %8s %8s\n' "a later GET (new connection)" "$plain_later" "$tls_later"
awk -v pf="$plain_first" -v tf="$tls_first" -v pl="$plain_later" -v tl="$tls_later" 'BEGIN {
  printf "TLS adds %.1f ms to the update check (its first GET), %.1f ms to a later GET\n", tf - pf, tl - pl }'
