#!/usr/bin/env bash
# The update check over https: the launcher built with https:// update and
# site hosts (VANTRO_EXE is that build) against the local update server over
# TLS with a throwaway CA's certificate. Unknown to the system, the
# certificate is refused before a request is sent, said in the error box,
# and the link is launched all the same; once the CA is in the machine's
# Root store, a newer published version shows its box and the download page
# opens over https.
. "$(dirname "$0")/e2e-lib.sh"
[ -f "${VANTRO_ROOT_STORE_EXE:-}" ] || { echo "e2e: VANTRO_ROOT_STORE_EXE is not built" >&2; exit 1; }
e2e_begin update-check-tls
# shellcheck source=../support/tls-certs.sh
. "$e2e_top/tests/support/tls-certs.sh"
make_test_certificates "$E2E_TMP/pki" || { echo "e2e: openssl could not make certificates" >&2; exit 1; }
fixed="发现最新版本，请升级至最新版本！"
newer=$(e2e_newer_version)
e2e_game_exe "$E2E_C/Games/LoL"
e2e_ini 'lol_path=C:\Games\LoL'
# The shell hands https links to the same recording browser.
wine reg add 'HKCR\https\shell\open\command' /ve /d '"C:\browser\browser.exe" "%1"' /f \
  >/dev/null 2>&1
e2e_update_server --body "$newer" --tls "$E2E_TMP/pki/good.pem" "$E2E_TMP/pki/good.key"
: >>"$E2E_TMP/update-requests.log"

e2e_start "kivra://8394 abc"
box=$(e2e_robot box 30000)
e2e_expect "untrusted certificate: error box text" "$(sed -n 's/^text: //p' <<<"$box")" \
  "127.0.0.1: certificate not trusted."
e2e_expect "untrusted certificate: the link is launched all the same" "$(e2e_cmd_calls 1 | wc -l)" 1
e2e_close_main
e2e_expect "untrusted certificate: the update server saw no request" \
  "$(grep -c '^GET ' "$E2E_TMP/update-requests.log")" 0

e2e_expect "the test CA goes into the Root store" \
  "$(wine "$VANTRO_ROOT_STORE_EXE" "Z:${E2E_TMP//\//\\}\\pki\\ca.pem" 2>/dev/null | tr -d '\r')" 1
e2e_start
box=$(e2e_robot box 30000)
e2e_expect "trusted: the newer version's box" "$(sed -n 's/^text: //p' <<<"$box")" \
  "${fixed}\\r$newer"
e2e_expect "trusted: the download page went to the browser over https" "$(e2e_browser_calls 1)" \
  "\"https://${VANTRO_UPDATE_HOST}/ob\""
e2e_close_main
e2e_expect "trusted: the request went to the version text" \
  "$(grep '^GET ' "$E2E_TMP/update-requests.log")" "GET /kivra/Version.txt HTTP/1.1"
e2e_finish
