#!/usr/bin/env bash
# The release suite: scripts/release.sh run as a maker runs it, from two clean
# copies of the committed tree in different folders, once unsigned and once
# signed with a code-signing certificate made here by a throwaway CA (openssl;
# no key is ever committed). Checks the signatures with osslsigncode against
# that CA, that one flipped byte breaks them, that no password reaches a
# command line or an environment, that the two builds are the same bytes, and
# (given a 32-bit Windows test build for the window robot) that the signed
# setup installs under Wine and the installed launcher starts a link.
# No network: an RFC 3161 time stamp is only tried against a closed loopback
# port, where the signing must fail.
# One line per check, "ok: <name>" or "FAIL: <name>"; the last line is
# "release: N passed, M failed".
#   run.sh [32-bit Windows build folder with the tests, e.g. build/win32]
# Beside other users of Wine and the update server's port, VANTRO_WINE_LOCK
# names the lock file the Wine part waits for (/tmp/vantro-wine.lock).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
windows_build=${1:-}
started=$SECONDS

passed=0
failed=0
expect() {
  if [ "$2" == "$3" ]; then
    passed=$((passed + 1))
    echo "ok: $1"
  else
    failed=$((failed + 1))
    printf 'FAIL: %s\n  expected: %s\n  actual:   %s\n' "$1" "$3" "$2"
  fi
}
finish() {
  echo "release: took $((SECONDS - started)) s"
  echo "release: $passed passed, $failed failed"
  [ "$failed" -eq 0 ]
  exit
}

if ! "$top/scripts/setup.sh"; then
  expect "the packages scripts/setup.sh names are installed" no yes
  finish
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/vantro-release-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT TERM

# --- A throwaway CA and a code-signing certificate it issued.
# make_ca <name>: <name>.key and <name>.pem, a self-signed CA.
make_ca() {
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Vantro test CA $1" \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign \
    -keyout "$work/$1.key" -out "$work/$1.pem" 2>/dev/null
}
password="pa ss'w\$rd-$RANDOM$RANDOM"
make_ca ca && make_ca other-ca &&
  openssl req -newkey rsa:2048 -nodes -subj "/CN=Vantro test signer" \
    -keyout "$work/signer.key" -out "$work/signer.csr" 2>/dev/null &&
  printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' \
    >"$work/signer.ext" &&
  openssl x509 -req -days 2 -in "$work/signer.csr" -CA "$work/ca.pem" -CAkey "$work/ca.key" \
    -CAcreateserial -extfile "$work/signer.ext" -out "$work/signer.pem" 2>/dev/null &&
  openssl pkcs12 -export -in "$work/signer.pem" -inkey "$work/signer.key" \
    -passout "file:"<(printf '%s' "$password") -out "$work/signer.pfx"
expect "a throwaway CA and code-signing certificate" "$?" 0

# verify <file> [CA]: osslsigncode's verdict against the CA, "ok" or "refused".
verify() {
  if osslsigncode verify -CAfile "${2:-$work/ca.pem}" -in "$1" >"$work/verify.log" 2>&1; then
    echo ok
  else
    echo refused
  fi
}

# --- Bad certificate settings are refused before anything is built.
# refusal <what> <expected message> <env assignments...>
refusal() {
  local what=$1 message=$2 out
  shift 2
  out=$(cd "$work" && env -u VANTRO_SIGN_PFX -u VANTRO_SIGN_KEY -u VANTRO_SIGN_CERT "$@" \
    "$top/scripts/release.sh" 2>&1)
  expect "refused: $what" "$?|$(tail -n 1 <<<"$out")" "1|release: $message"
}
refusal "a PKCS#12 file and a PEM key both" \
  "give either VANTRO_SIGN_PFX or VANTRO_SIGN_KEY and VANTRO_SIGN_CERT, not both" \
  VANTRO_SIGN_PFX="$work/signer.pfx" VANTRO_SIGN_KEY="$work/signer.key"
refusal "a PKCS#12 file that is not there" "VANTRO_SIGN_PFX names no file: $work/none.pfx" \
  VANTRO_SIGN_PFX="$work/none.pfx"
refusal "a key without its certificate" "VANTRO_SIGN_CERT names no certificate file: unset" \
  VANTRO_SIGN_KEY="$work/signer.key"
refusal "a certificate without its key" "VANTRO_SIGN_KEY names no key file: unset" \
  VANTRO_SIGN_CERT="$work/signer.pem"

# --- Two clean copies of the commit in different folders.
git clone -q --shared "$top" "$work/a/vantro" &&
  git clone -q --shared "$top" "$work/another/folder/vantro-copy"
expect "two clean copies of the commit" "$?" 0
hosts=(127.0.0.1:47611 127.0.0.1:47611)

# The signing tool as the build calls it, watched: every command line and
# environment it gets is kept, and each file it signs is kept too (the
# uninstaller exists only inside the setup otherwise).
osslsigncode=$(command -v osslsigncode)
mkdir -p "$work/watch/bin" "$work/watch/signed"
cat >"$work/watch/bin/osslsigncode" <<EOF
#!/usr/bin/env bash
printf '%s\n' "\$*" >>"$work/watch/commands"
env >>"$work/watch/environments"
"$osslsigncode" "\$@" || exit
while [ \$# -gt 1 ]; do
  [ "\$1" = -out ] && cp "\$2" "$work/watch/signed/\$(wc -l <"$work/watch/commands")-\$(basename "\$2" .signed)"
  shift
done
exit 0
EOF
chmod +x "$work/watch/bin/osslsigncode"

signed_copy="$work/another/folder/vantro-copy"
phase=$SECONDS
signed_out=$(cd "$signed_copy" && PATH="$work/watch/bin:$PATH" VANTRO_SIGN_PFX="$work/signer.pfx" \
  VANTRO_SIGN_PASSWORD="$password" scripts/release.sh "${hosts[@]}" 2>&1)
expect "signed release: done" "$?" 0
echo "release: the signed release took $((SECONDS - phase)) s"
echo "  ${signed_out//$'\n'/$'\n'  }"
expect "signed release: its last line says so" "$(tail -n 1 <<<"$signed_out" | cut -d' ' -f1-4)" \
  "release: signed (Authenticode, SHA-256)"
version=$(cat "$signed_copy/dist/Version.txt" 2>/dev/null)
setup="vantro-$version-setup.exe"
project_version=$(sed -n 's/^project(vantro VERSION \([0-9.]*\) .*/\1/p' "$signed_copy/CMakeLists.txt")
expect "Version.txt holds the project's version" "$version" "$project_version"

phase=$SECONDS
unsigned_out=$(cd "$work/a/vantro" && scripts/release.sh "${hosts[@]}" 2>&1)
expect "unsigned release: done" "$?" 0
echo "release: the unsigned release took $((SECONDS - phase)) s"
expect "unsigned release: its last line says so" "$(tail -n 1 <<<"$unsigned_out" | cut -d' ' -f1-2)" \
  "release: unsigned:"

dist="$signed_copy/dist"
plain="$work/a/vantro/dist"
expect "signed dist: the files" "$(cd "$dist" && find . -type f -printf '%P\n' | sort | tr '\n' ' ')" \
  "SHA256SUMS Version.txt unsigned/$setup unsigned/vantro.exe $setup vantro.exe "
expect "unsigned dist: the files" "$(cd "$plain" && find . -type f -printf '%P\n' | sort | tr '\n' ' ')" \
  "SHA256SUMS Version.txt $setup vantro.exe "
for d in "$dist" "$plain"; do
  expect "SHA256SUMS holds every other file of $(basename "$(dirname "$(dirname "$d")")")'s dist" \
    "$(cd "$d" && sha256sum --quiet -c SHA256SUMS 2>&1 && find . -type f ! -name SHA256SUMS | wc -l)" \
    "$(wc -l <"$d/SHA256SUMS")"
done

# --- The signatures.
mapfile -t commands <"$work/watch/commands" 2>/dev/null
expect "three files signed" "${#commands[@]}" 3
# Kept as <n>-<name>: the launcher, then the uninstaller (under a temporary
# name), then the setup.
signed_names=$(find "$work/watch/signed" -type f -printf '%f\n' | sort | tr '\n' ' ')
expect "signed in order: the launcher, the uninstaller, the setup" \
  "$(sed -E 's/ 2-[^ ]* / 2-<uninstaller> /' <<<"$signed_names")" "1-vantro.exe 2-<uninstaller> 3-vantro-setup.exe "
uninstaller=$(find "$work/watch/signed" -name '2-*' | head -n 1)
expect "each with a SHA-256 digest" "$(grep -c -- '-h sha256' "$work/watch/commands")" 3
for file in "$dist/vantro.exe" "$uninstaller" "$dist/$setup"; do
  name=$(basename "$file")
  [ "$file" = "$uninstaller" ] && name=uninstaller
  expect "$name: verifies against the CA" "$(verify "$file")" ok
  expect "$name: refused against a CA that did not issue the certificate" \
    "$(verify "$file" "$work/other-ca.pem")" refused
done
expect "the signature names SHA-256 and the signer" \
  "$(verify "$dist/vantro.exe" >/dev/null; grep -E -m 2 'Message digest algorithm *:|Subject: /CN=Vantro test signer' "$work/verify.log" | tr -s ' \t' ' ')" \
  "$(printf 'Message digest algorithm : SHA256\n Subject: /CN=Vantro test signer')"
expect "the unsigned build is refused" "$(verify "$dist/unsigned/vantro.exe")" refused
# flipped <file> <offset>: a copy with the byte at offset inverted.
flipped() {
  python3 -c 'import sys; b = bytearray(open(sys.argv[1], "rb").read()); b[int(sys.argv[3])] ^= 0xFF
open(sys.argv[2], "wb").write(b)' "$1" "$work/flipped.exe" "$2"
  echo "$work/flipped.exe"
}
for file in "$dist/vantro.exe" "$dist/$setup"; do
  for offset in 4096 $(($(stat -c %s "$file") / 2)); do
    expect "$(basename "$file"): one byte flipped at $offset is refused" "$(verify "$(flipped "$file" "$offset")")" refused
  done
done

# --- The password: never on a command line, in the build's environment or in the output.
expect "the password is on no command line of the signing tool" \
  "$(grep -cF -- "$password" "$work/watch/commands")" 0
expect "the password is not in the build's environment" \
  "$(grep -cF -- "$password" "$work/watch/environments")" 0
expect "the signing tool read the password from a file" "$(grep -c -- '-readpass ' "$work/watch/commands")" 3
expect "the password is not in the release's output" "$(grep -cF -- "$password" <<<"$signed_out")" 0
expect "the password file is gone" "$(grep -o -- '-readpass [^ ]*' "$work/watch/commands" | sort -u |
  while read -r _ f; do [ -e "$f" ] && echo "left: $f"; done)" ""

# --- The signing script alone: a PEM key and certificate, and a time-stamp
# server that cannot be reached (nothing listens on port 9, discard).
cp "$plain/vantro.exe" "$work/pem.exe"
VANTRO_SIGN_KEY="$work/signer.key" VANTRO_SIGN_CERT="$work/signer.pem" "$top/scripts/sign.sh" \
  "$work/pem.exe" >/dev/null 2>&1
expect "PEM key and certificate: signed, verifies" "$?$(verify "$work/pem.exe")" 0ok
cp "$plain/vantro.exe" "$work/stamp.exe"
VANTRO_SIGN_KEY="$work/signer.key" VANTRO_SIGN_CERT="$work/signer.pem" \
  VANTRO_SIGN_TIMESTAMP_URL=http://127.0.0.1:9/ "$top/scripts/sign.sh" "$work/stamp.exe" >/dev/null 2>&1
expect "an unreachable time-stamp server fails the signing, the file stays as it was" \
  "$?$(cmp -s "$plain/vantro.exe" "$work/stamp.exe" && echo same)$([ -e "$work/stamp.exe.signed" ] && echo " left a file")" 1same

# --- Reproducible: the unsigned builds from the two folders are the same bytes.
for name in vantro.exe "$setup"; do
  a=$(sha256sum <"$plain/$name" | cut -d' ' -f1)
  b=$(sha256sum <"$dist/unsigned/$name" | cut -d' ' -f1)
  echo "  $name: $a (first folder), $b (second folder)"
  expect "$name: the same bytes from both folders" "$b" "$a"
done
osslsigncode remove-signature -in "$dist/vantro.exe" -out "$work/stripped.exe" >/dev/null 2>&1
expect "the signed vantro.exe without its signature is the unsigned build" \
  "$(cmp -s "$work/stripped.exe" "$plain/vantro.exe" && echo same)" same
expect "no build folder in vantro.exe" "$(strings -a "$plain/vantro.exe" | grep -c -e "$work" -e /tmp/)" 0

# --- The signed setup under Wine.
if [ -z "$windows_build" ]; then
  echo "release: no 32-bit Windows test build given: the signed setup is not installed under Wine"
else
  phase=$SECONDS
  wine_out=$(VANTRO_VERSION="$project_version" VANTRO_EXE="$dist/vantro.exe" VANTRO_SETUP_EXE="$dist/$setup" \
    VANTRO_ROBOT_EXE="$windows_build/tests/support/robot/robot.exe" \
    VANTRO_CMD_EXE="$windows_build/tests/support/robot/cmd/cmd.exe" VANTRO_UPDATE_HOST="${hosts[0]}" \
    VANTRO_TEST_CA="$work/ca.pem" ${VANTRO_WINE_LOCK:+flock "$VANTRO_WINE_LOCK"} \
    bash "$here/install_signed.sh" 2>&1)
  code=$?
  echo "release: the install under Wine took $((SECONDS - phase)) s"
  echo "$wine_out" | grep -v '^ok: '
  passed=$((passed + $(grep -c '^ok: ' <<<"$wine_out")))
  failed=$((failed + $(grep -c '^FAIL: ' <<<"$wine_out")))
  grep '^ok: ' <<<"$wine_out"
  [ "$code" -eq 0 ] || grep -q '^FAIL: ' <<<"$wine_out" || expect "the Wine run ended well" "$code" 0
fi
finish
