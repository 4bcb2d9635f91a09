#!/usr/bin/env bash
# Cuts a release: builds the shipped 32-bit launcher and its installer from a
# clean copy of the committed tree (MinSizeRel, the i686 toolchain) and writes
# dist/: vantro.exe, vantro-<version>-setup.exe, Version.txt and SHA256SUMS.
#
#   scripts/release.sh [UPDATE_HOST [SITE_HOST]]
#
# The hosts come from the arguments, else from VANTRO_UPDATE_HOST and
# VANTRO_SITE_HOST: host or host:port, with https:// in front for HTTPS
# (e.g. scripts/release.sh https://update.example.com https://www.example.com);
# without a scheme a host is plain http. Empty means none: no update check, no
# client page and no download page.
#
# Signing (Authenticode, SHA-256), when a certificate is given: a PKCS#12 file
# in VANTRO_SIGN_PFX, or a PEM key and certificate in VANTRO_SIGN_KEY and
# VANTRO_SIGN_CERT; their password, if any, in VANTRO_SIGN_PASSWORD.
# VANTRO_SIGN_TIMESTAMP_URL names an RFC 3161 time-stamp server. A signed
# release keeps the unsigned build in dist/unsigned/: what anyone rebuilding
# the commit gets, byte for byte.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
update_host=${1:-${VANTRO_UPDATE_HOST:-}}
site_host=${2:-${VANTRO_SITE_HOST:-}}
dist="$top/dist"

say() { printf 'release: %s\n' "$*"; }
fail() {
  say "$*" >&2
  exit 1
}
# run <log> <command...>: quiet unless it fails.
run() {
  local log=$1
  shift
  "$@" >"$log" 2>&1 || {
    tail -n 40 "$log" >&2
    fail "failed: $*"
  }
}

# The certificate, checked before anything is built.
signing=""
if [ -n "${VANTRO_SIGN_PFX:-}" ]; then
  [ -z "${VANTRO_SIGN_KEY:-}${VANTRO_SIGN_CERT:-}" ] ||
    fail "give either VANTRO_SIGN_PFX or VANTRO_SIGN_KEY and VANTRO_SIGN_CERT, not both"
  [ -f "$VANTRO_SIGN_PFX" ] || fail "VANTRO_SIGN_PFX names no file: $VANTRO_SIGN_PFX"
  VANTRO_SIGN_PFX=$(realpath "$VANTRO_SIGN_PFX")
  export VANTRO_SIGN_PFX
  signing="PKCS#12 $VANTRO_SIGN_PFX"
elif [ -n "${VANTRO_SIGN_KEY:-}${VANTRO_SIGN_CERT:-}" ]; then
  [ -f "${VANTRO_SIGN_KEY:-}" ] || fail "VANTRO_SIGN_KEY names no key file: ${VANTRO_SIGN_KEY:-unset}"
  [ -f "${VANTRO_SIGN_CERT:-}" ] || fail "VANTRO_SIGN_CERT names no certificate file: ${VANTRO_SIGN_CERT:-unset}"
  # The build signs in folders of its own: the names must hold from anywhere.
  VANTRO_SIGN_KEY=$(realpath "$VANTRO_SIGN_KEY") VANTRO_SIGN_CERT=$(realpath "$VANTRO_SIGN_CERT")
  export VANTRO_SIGN_KEY VANTRO_SIGN_CERT
  signing="key $VANTRO_SIGN_KEY, certificate $VANTRO_SIGN_CERT"
fi

"$top/scripts/setup.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/vantro-release.XXXXXX")
trap 'rm -rf "$work"' EXIT

sign_args=()
if [ -n "$signing" ]; then
  # The password goes to the signing tool in a file only this user can read
  # (gone with $work), and not into the build's environment.
  if [ -n "${VANTRO_SIGN_PASSWORD:-}" ]; then
    (umask 077 && printf '%s' "$VANTRO_SIGN_PASSWORD" >"$work/sign-password")
    export VANTRO_SIGN_PASSWORD_FILE="$work/sign-password"
  fi
  unset VANTRO_SIGN_PASSWORD
  sign_args=(-DVANTRO_SIGN_COMMAND="$work/src/scripts/sign.sh")
fi

commit=$(git -C "$top" rev-parse --short HEAD)
# Packed file times come from the commit, so two builds of it are the same bytes.
SOURCE_DATE_EPOCH=$(git -C "$top" log -1 --format=%ct HEAD)
export SOURCE_DATE_EPOCH
# Only what is committed goes out: edits and untracked files stay behind.
if [ -n "$(git -C "$top" status --porcelain)" ]; then
  say "the work tree has uncommitted changes; they are not in this release"
fi
mkdir "$work/src"
git -C "$top" archive HEAD | tar -x -C "$work/src"

say "building commit $commit (update host: ${update_host:-none}, site host: ${site_host:-none})"
run "$work/configure.log" cmake -S "$work/src" -B "$work/build" -DCMAKE_BUILD_TYPE=MinSizeRel \
  -DCMAKE_TOOLCHAIN_FILE="$work/src/cmake/mingw-i686.cmake" -DVANTRO_TESTS=OFF \
  -DVANTRO_UPDATE_HOST="$update_host" -DVANTRO_SITE_HOST="$site_host" "${sign_args[@]}"
run "$work/build.log" cmake --build "$work/build" -j"$(nproc)" --target vantro installer
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$work/build/CMakeCache.txt")
setup="vantro-$version-setup.exe"

rm -rf "$dist"
mkdir -p "$dist"
built="$work/build/installer"
published=(vantro.exe "$setup" Version.txt)
if [ -n "$signing" ]; then
  mkdir "$dist/unsigned"
  cp "$built/vantro.exe" "$dist/unsigned/vantro.exe"
  cp "$built/vantro-setup.exe" "$dist/unsigned/$setup"
  published+=("unsigned/vantro.exe" "unsigned/$setup")
  built="$built/signed"
fi
cp "$built/vantro.exe" "$dist/vantro.exe"
cp "$built/vantro-setup.exe" "$dist/$setup"
# What the update host serves as /kivra/Version.txt: a launcher whose own
# file version is not in this text offers the download. No line end: older
# launchers show the text as it is.
printf '%s' "$version" >"$dist/Version.txt"
(cd "$dist" && sha256sum "${published[@]}" >SHA256SUMS)
say "version $version in $dist:"
find "$dist" -type f -printf '  %P  %s bytes\n' | sort
if [ -z "$signing" ]; then
  say "unsigned: no certificate given (VANTRO_SIGN_PFX, or VANTRO_SIGN_KEY and VANTRO_SIGN_CERT)"
elif [ -n "${VANTRO_SIGN_TIMESTAMP_URL:-}" ]; then
  say "signed (Authenticode, SHA-256) with $signing, time-stamped by $VANTRO_SIGN_TIMESTAMP_URL"
else
  say "signed (Authenticode, SHA-256) with $signing, without a time stamp (no VANTRO_SIGN_TIMESTAMP_URL)"
fi
