#!/bin/sh
# Runs a Windows program under Wine in the project's throwaway prefix, quietly
# and without the Mono/Gecko install prompts.
: "${VANTRO_WINEPREFIX:=${TMPDIR:-/tmp}/vantro-wine}"
export WINEPREFIX="$VANTRO_WINEPREFIX"
export WINEARCH="${VANTRO_WINEARCH:-win32}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
exec wine "$@"
