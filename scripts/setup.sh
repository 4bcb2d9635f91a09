#!/usr/bin/env bash
# Installs what the builds and tests need from Debian's packages (or the
# packages named as arguments, as the interop suite names its servers). Quiet
# and quick when everything is there; fails saying what could not be installed.
set -euo pipefail

# Wine's TLS and certificate code (secur32, crypt32, bcrypt) loads GnuTLS
# (libgnutls.so.30) of its own width at run time; Wine only recommends it.
default_packages=(cmake g++ clang libgtest-dev libgmock-dev libbenchmark-dev nsis publicsuffix libpsl-dev
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
  wine wine32:i386 wine64 libgnutls30 libgnutls30:i386 fonts-wine fonts-wqy-microhei xvfb x11-utils imagemagick libcurl4-openssl-dev libssl-dev python3
  clang-format shellcheck osslsigncode)
packages=("${@:-${default_packages[@]}}")

log() { printf 'setup: %s\n' "$*" >&2; }

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  log "missing packages and not root: ${missing[*]}"
  exit 1
fi

log "installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
if printf '%s\n' "${missing[@]}" | grep -q ':i386$' && ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
# Servers among the packages (the interop suite's) are started by the suite
# with its own configurations; their packages must not start system copies
# that would hold ports (policy-rc.d refuses while we install).
policy=/usr/sbin/policy-rc.d
if [ ! -e "$policy" ]; then
  printf '#!/bin/sh\nexit 101\n' >"$policy"
  chmod 755 "$policy"
  trap 'rm -f "$policy"' EXIT
fi

# A mirror in mid-sync can leave one index out; the install below still
# decides whether what we need is there.
apt-get update -qq >/tmp/vantro-apt-update.log 2>&1 || log "apt-get update reported errors (see /tmp/vantro-apt-update.log)"

install() { apt-get install -y -qq --no-install-recommends "$@" "${missing[@]}" >/tmp/vantro-apt-install.log 2>&1; }

if ! install; then
  # When the security index for i386 could not be read, the i386 halves of
  # multi-arch libraries cannot match their amd64 versions. Resolve from the
  # main archive for i386 then, keeping the security archive for amd64 only.
  log "first install attempt failed; retrying with i386 taken from the main archive"
  alt=$(mktemp -d)
  mkdir -p "$alt/sources" "$alt/prefs"
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -e "$f" ] || continue
    sed '/^Suites:.*-security/a Architectures: amd64' "$f" >"$alt/sources/$(basename "$f")"
  done
  printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: 100\n' >"$alt/prefs/security"
  opts=(-o "Dir::Etc::SourceParts=$alt/sources" -o "Dir::Etc::PreferencesParts=$alt/prefs")
  apt-get "${opts[@]}" update -qq >>/tmp/vantro-apt-update.log 2>&1 || true
  if ! install "${opts[@]}"; then
    tail -n 30 /tmp/vantro-apt-install.log >&2
    log "could not install: ${missing[*]}"
    exit 1
  fi
fi

for p in "${missing[@]}"; do
  dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' || {
    log "still missing after install: $p"
    exit 1
  }
done
log "installed"
