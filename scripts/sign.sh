#!/usr/bin/env bash
# Signs one Windows program in place with Authenticode (SHA-256 digests):
# scripts/release.sh has the build call it for vantro.exe, the uninstaller and
# the setup.
#
#   scripts/sign.sh FILE
#
# The certificate: a PKCS#12 file named by VANTRO_SIGN_PFX, or a PEM key and
# certificate named by VANTRO_SIGN_KEY and VANTRO_SIGN_CERT. Their password,
# if any, is read from the file VANTRO_SIGN_PASSWORD_FILE names (release.sh
# writes it): on osslsigncode's command line ps would show it.
# VANTRO_SIGN_TIMESTAMP_URL names an RFC 3161 time-stamp server; without one
# the signature carries no time stamp.
set -euo pipefail
file=${1:?usage: sign.sh FILE}

args=(sign -h sha256 -n Vantro)
if [ -n "${VANTRO_SIGN_PFX:-}" ]; then
  args+=(-pkcs12 "$VANTRO_SIGN_PFX")
else
  args+=(-certs "${VANTRO_SIGN_CERT:?VANTRO_SIGN_PFX or VANTRO_SIGN_CERT must name a certificate}"
    -key "${VANTRO_SIGN_KEY:?VANTRO_SIGN_KEY must name the key of VANTRO_SIGN_CERT}")
fi
[ -n "${VANTRO_SIGN_PASSWORD_FILE:-}" ] && args+=(-readpass "$VANTRO_SIGN_PASSWORD_FILE")
[ -n "${VANTRO_SIGN_TIMESTAMP_URL:-}" ] && args+=(-ts "$VANTRO_SIGN_TIMESTAMP_URL")

signed="$file.signed"
trap 'rm -f "$signed"' EXIT
osslsigncode "${args[@]}" -in "$file" -out "$signed"
mv -f "$signed" "$file"
