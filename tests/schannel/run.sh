#!/usr/bin/env bash
# The Windows TLS backend (Schannel, the certificate checked through
# CryptoAPI) under Wine against real TLS servers on loopback: Python's ssl
# module (Debian's OpenSSL) serving a throwaway test CA's certificates, good
# and bad, an old-protocol server and peers that are no TLS server at all.
# The test CA is trusted first through CAFile, then through the prefix's
# LocalMachine Root store. One line per check; the last says how many failed.
# Needs TLS_GET_EXE and ROOT_STORE_EXE (the Windows programs it drives).
set -uo pipefail
shopt -s extglob
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
started=$SECONDS
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

for what in TLS_GET_EXE ROOT_STORE_EXE; do
  [ -f "${!what:-}" ] || { echo "schannel: $what does not name a built program" >&2; exit 1; }
done
"$top/scripts/setup.sh" python3 openssl || { echo "schannel: python3 and openssl are missing" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/vantro-schannel.XXXXXX")
own_wine=0
servers=()
cleanup() {
  local pid
  for pid in "${servers[@]}"; do kill "$pid" 2>/dev/null; done
  WINEPREFIX="$work/prefix" wineserver -k 2>/dev/null
  [ "$own_wine" = 1 ] && vantro_wine_down
  rm -rf "$work"
}
if [ ! -d "${VANTRO_WINEPREFIX_TEMPLATE:-}" ]; then
  # shellcheck source=../../scripts/wine-env.sh
  . "$top/scripts/wine-env.sh"
  vantro_wine_up || { echo "schannel: no Wine prefix" >&2; exit 1; }
  own_wine=1
fi
# Set after vantro_wine_up, whose own EXIT trap it replaces (and calls).
trap cleanup EXIT
trap 'exit 130' INT TERM
# A prefix of our own: its Root store gets the test CA.
cp -a "$VANTRO_WINEPREFIX_TEMPLATE" "$work/prefix"
export WINEPREFIX="$work/prefix" WINEARCH=${VANTRO_WINEARCH:-win32} WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# shellcheck source=../support/tls-certs.sh
. "$top/tests/support/tls-certs.sh"
make_test_certificates "$work" ||
  { echo "schannel: openssl could not make the test certificates" >&2; exit 1; }
head -c $((10 * 1024 * 1024)) /dev/urandom >"$work/big"

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
declare -A port
# serve <name> <update_server.py options>: its requests go to <name>.log.
serve() {
  local name=$1 i
  shift
  port[$name]=$(free_port)
  : >"$work/$name.log"
  python3 "$top/tests/support/update_server.py" "${port[$name]}" --body-file "$work/big" \
    --log "$work/$name.log" "$@" 2>/dev/null &
  servers+=($!)
  for ((i = 0; i < 50; i++)); do
    (exec 3<>"/dev/tcp/127.0.0.1/${port[$name]}") 2>/dev/null && return
    sleep 0.1
  done
  fail "server $name" "did not start"
}
for name in good expired not-yet-valid other-name self-signed unknown-ca; do
  serve "$name" --tls "$work/$name.pem" "$work/$name.key"
done
good=(--tls "$work/good.pem" "$work/good.key")
serve old "${good[@]}" --tls-versions 1.0-1.1
serve tls13 "${good[@]}" --tls-versions 1.3-1.3
serve stall "${good[@]}" --hang
serve garbage --hostile garbage
serve close --hostile close

windows_path() { printf 'Z:%s' "${1//\//\\}"; }
ca=$(windows_path "$work/ca.pem")

requests() { grep -c '^GET ' "$work/$1.log"; }
# check <name> <server> <host> <expected output, a pattern> <request seen: yes|no> [tls_get options]
check() {
  local name=$1 server=$2 host=$3 expected=${4//\\/\\\\} seen=$5 before out
  shift 5
  before=$(requests "$server")
  out=$(timeout 60 wine "$TLS_GET_EXE" "$host" "${port[$server]}" --path /ob "$@" 2>/dev/null |
    tr -d '\r')
  # shellcheck disable=SC2053 # the expected output is a pattern
  if [[ "$out" != $expected ]]; then
    fail "$name" "said '$out', not '$expected'"
  elif [ "$seen" = no ] && [ "$(requests "$server")" != "$before" ]; then
    fail "$name" "the server got a request"
  else
    ok "$name"
  fi
}

page='ok HTTP/1.1 200 OK, 50 body bytes'
untrusted='error localhost: certificate not trusted'
handshake='error localhost: TLS handshake failed: *'
check "an unknown root is refused before the request" good localhost "$untrusted" no
check "CAFile: good certificate, by name" good localhost "$page" yes --cafile "$ca"
tls_line() { grep '^tls ' "$work/good.log" | tail -n 1; }
# handshake_said <name> <pattern>: the good server's last handshake as it logged it.
handshake_said() {
  # shellcheck disable=SC2053 # a pattern
  if [[ "$(tls_line)" == $2 ]]; then ok "$1"; else fail "$1" "the server saw '$(tls_line)'"; fi
}
handshake_said "by name: SNI localhost, ALPN http/1.1, TLS 1.2 or 1.3" \
  'tls TLSv1.[23] sni=localhost alpn=http/1.1'
check "CAFile: good certificate, by address" good 127.0.0.1 "$page" yes --cafile "$ca"
handshake_said "by address: no SNI" 'tls TLSv1.[23] sni=None alpn=http/1.1'
check "expired" expired localhost 'error localhost: certificate expired' no --cafile "$ca"
check "not yet valid" not-yet-valid localhost 'error localhost: certificate not yet valid' no --cafile "$ca"
check "other name" other-name localhost 'error certificate is for other.example, not localhost' no \
  --cafile "$ca"
check "an address the certificate does not name" other-name 127.0.0.1 \
  'error certificate is for other.example, not 127.0.0.1' no --cafile "$ca"
check "self-signed" self-signed localhost "$untrusted" no --cafile "$ca"
check "from an unknown CA" unknown-ca localhost "$untrusted" no --cafile "$ca"
check "TLS 1.0 and 1.1 only" old localhost "$handshake" no --cafile "$ca"
check "VerifyPeer off accepts a self-signed certificate" self-signed localhost "$page" yes --no-verify
check "garbage for a ServerHello" garbage localhost \
  'error localhost: the server does not answer in TLS' no --cafile "$ca"
check "a close mid-handshake" close localhost \
  'error localhost: the server closed the connection during the TLS handshake' no --cafile "$ca"
check "a CAFile that is not there" good localhost \
  "error localhost: the CA file $(windows_path "$work/none.pem") could not be read: *" no \
  --cafile "$(windows_path "$work/none.pem")"
check "a CAFile without a certificate" good localhost \
  "error localhost: the CA file $(windows_path "$work/good.key") could not be read: it holds no certificate" \
  no --cafile "$(windows_path "$work/good.key")"

# TLS 1.3 where this Windows (or Wine) has it, else a clean refusal.
check "a TLS 1.3 only server: served or refused" tls13 localhost "@($page|$handshake)" no \
  --cafile "$ca"

waited=$SECONDS
check "a stalled handshake ends at the read time-out" stall localhost 'error Read Timeout' no \
  --cafile "$ca" --timeout 2000
[ $((SECONDS - waited)) -le 15 ] || fail "stalled handshake" "took $((SECONDS - waited)) s"

# 10 MiB through TLS, byte for byte; and both ends' close_notify.
out=$(timeout 120 wine "$TLS_GET_EXE" localhost "${port[good]}" --path /kivra/Version.txt \
  --cafile "$ca" --out "$(windows_path "$work/got")" 2>/dev/null | tr -d '\r')
if [ "$out" != "ok HTTP/1.1 200 OK, 10485760 body bytes" ] || ! cmp -s "$work/big" "$work/got"; then
  fail "10 MiB body" "$out"
else
  ok "10 MiB body"
fi
for ((i = 0; i < 20; i++)); do
  [ "$(grep -c '^close_notify' "$work/good.log")" -ge 3 ] && break
  sleep 0.1
done
if [ "$(grep -c '^close_notify' "$work/good.log")" -ge 3 ]; then
  ok "close_notify answered on every served connection"
else
  fail "close_notify" "$(grep -c '^close_notify' "$work/good.log") of 3 connections"
fi

# The test CA in the machine's Root store, as an administrator installs one.
if [ "$(wine "$ROOT_STORE_EXE" "$(windows_path "$work/ca.pem")" 2>/dev/null | tr -d '\r')" = 1 ]; then
  check "Root store: good certificate, by name" good localhost "$page" yes
  check "Root store: good certificate, by address" good 127.0.0.1 "$page" yes
  check "Root store: other name still refused" other-name localhost \
    'error certificate is for other.example, not localhost' no
  check "Root store: an unknown CA still refused" unknown-ca localhost "$untrusted" no
else
  fail "Root store" "root_store.exe could not add the test CA"
fi

echo "schannel: $passed passed, $failed failed in $((SECONDS - started)) s"
[ "$failed" -eq 0 ]
