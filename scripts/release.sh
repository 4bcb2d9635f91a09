#!/usr/bin/env bash
# Cuts a release: builds the shipped 32-bit launcher and its installer from a
# clean copy of the committed tree (MinSizeRel, the i686 toolchain) and writes
# dist/: vantro.exe, vantro-<version>-setup.exe and SHA256SUMS.
#
#   scripts/release.sh [UPDATE_HOST [SITE_HOST]]
#
# The hosts come from the arguments, else from VANTRO_UPDATE_HOST and
# VANTRO_SITE_HOST: host or host:port, with https:// in front for HTTPS
# (e.g. scripts/release.sh https://update.example.com https://www.example.com);
# without a scheme a host is plain http. Empty means none: no update check, no
# client page and no download page.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
update_host=${1:-${VANTRO_UPDATE_HOST:-}}
site_host=${2:-${VANTRO_SITE_HOST:-}}
dist="$top/dist"

say() { printf 'release: %s\n' "$*"; }
# run <log> <command...>: quiet unless it fails.
run() {
  local log=$1
  shift
  "$@" >"$log" 2>&1 || {
    tail -n 40 "$log" >&2
    say "failed: $*" >&2
    exit 1
  }
}

"$top/scripts/setup.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/vantro-release.XXXXXX")
trap 'rm -rf "$work"' EXIT

commit=$(git -C "$top" rev-parse --short HEAD)
# Only what is committed goes out: edits and untracked files stay behind.
if [ -n "$(git -C "$top" status --porcelain)" ]; then
  say "the work tree has uncommitted changes; they are not in this release"
fi
mkdir "$work/src"
git -C "$top" archive HEAD | tar -x -C "$work/src"

say "building commit $commit (update host: ${update_host:-none}, site host: ${site_host:-none})"
run "$work/configure.log" cmake -S "$work/src" -B "$work/build" -DCMAKE_BUILD_TYPE=MinSizeRel \
  -DCMAKE_TOOLCHAIN_FILE="$work/src/cmake/mingw-i686.cmake" -DVANTRO_TESTS=OFF \
  -DVANTRO_UPDATE_HOST="$update_host" -DVANTRO_SITE_HOST="$site_host"
run "$work/build.log" cmake --build "$work/build" -j"$(nproc)" --target vantro installer
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$work/build/CMakeCache.txt")

rm -rf "$dist"
mkdir -p "$dist"
cp "$work/build/launcher/win32/vantro.exe" "$dist/vantro.exe"
cp "$work/build/installer/vantro-setup.exe" "$dist/vantro-$version-setup.exe"
(cd "$dist" && sha256sum vantro.exe "vantro-$version-setup.exe" >SHA256SUMS)
say "version $version in $dist:"
find "$dist" -type f -printf '  %f  %s bytes\n' | sort
