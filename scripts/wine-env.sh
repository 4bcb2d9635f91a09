# shellcheck shell=bash
# Sourced: a throwaway Wine prefix and an Xvfb display for this run, both
# taken down (wineserver stopped) when the shell exits.
#
# The launcher ships as a 32-bit program and is tested as one under 32-bit
# Wine. Some kernels run without 32-bit emulation ("32-bit emulation
# disabled" in the kernel log): no 32-bit program starts there, Wine's
# included. On such a machine the Windows tests run a 64-bit build of the
# same sources under 64-bit Wine, and the 32-bit build is only compiled.

# vantro_windows_bits: 32 when this machine runs 32-bit Wine, 64 when only
# 64-bit Wine runs here, nothing (and status 1) when neither does.
# VANTRO_WINDOWS_BITS=64 asks for the 64-bit run where both would run.
vantro_windows_bits() {
  if [ "${VANTRO_WINDOWS_BITS:-}" != 64 ] && [ -x /usr/lib/wine/wineserver32 ] &&
    /usr/lib/wine/wineserver32 --version >/dev/null 2>&1; then
    echo 32
  elif [ -x /usr/lib/wine/wineserver64 ] && /usr/lib/wine/wineserver64 --version >/dev/null 2>&1; then
    echo 64
  else
    return 1
  fi
}

# vantro_windows_build <bits>: the toolchain file and build folder (relative
# to the top) for a Windows build of that width.
vantro_windows_build() {
  if [ "$1" = 64 ]; then
    export VANTRO_WINDOWS_TOOLCHAIN=cmake/mingw-x86_64.cmake VANTRO_WINDOWS_DIR=build/win64
  else
    export VANTRO_WINDOWS_TOOLCHAIN=cmake/mingw-i686.cmake VANTRO_WINDOWS_DIR=build/win32
  fi
}

# Debian's wine and wineserver commands always choose the 32-bit halves when
# they are installed; for 64-bit, commands of the same names come first.
vantro_wine_commands_64() {
  local bin="$VANTRO_WINE_TMP/bin"
  mkdir -p "$bin"
  printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$bin/wine"
  printf '#!/bin/sh\nexec /usr/lib/wine/wineserver64 "$@"\n' >"$bin/wineserver"
  printf '#!/bin/sh\nexec /usr/lib/wine/wine64 wineboot "$@"\n' >"$bin/wineboot"
  chmod +x "$bin/wine" "$bin/wineserver" "$bin/wineboot"
  export PATH="$bin:$PATH" WINELOADER=/usr/lib/wine/wine64 WINESERVER=/usr/lib/wine/wineserver64
}

vantro_wine_up() {
  local bits
  bits=$(vantro_windows_bits) || {
    echo "wine-env: Wine does not run here (run scripts/setup.sh)" >&2
    return 1
  }
  VANTRO_WINE_TMP=$(mktemp -d "${TMPDIR:-/tmp}/vantro-wine.XXXXXX")
  export VANTRO_WINE_BITS=$bits VANTRO_WINEARCH=win$bits
  [ "$bits" = 64 ] && vantro_wine_commands_64
  export VANTRO_WINEPREFIX="$VANTRO_WINE_TMP/prefix"
  export WINEPREFIX="$VANTRO_WINEPREFIX" WINEARCH=$VANTRO_WINEARCH WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  local display
  for display in $(seq 90 120); do
    [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ] || break
  done
  Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >"$VANTRO_WINE_TMP/xvfb.log" 2>&1 &
  VANTRO_XVFB_PID=$!
  export DISPLAY=":$display"
  trap vantro_wine_down EXIT
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
  if ! timeout 180 wineboot -i >"$VANTRO_WINE_TMP/wineboot.log" 2>&1; then
    echo "wine-env: could not create the Wine prefix (see $VANTRO_WINE_TMP/wineboot.log)" >&2
    return 1
  fi
  # wineboot returns while the new prefix's shell still sets itself up, and the
  # server writes the registry to disk only now and then: wait until every
  # program of the prefix has ended and the server has saved and gone. The
  # end-to-end tests copy this settled prefix, never the one the unit tests
  # are using.
  timeout 120 wineserver -w || true
  export VANTRO_WINEPREFIX_TEMPLATE="$VANTRO_WINE_TMP/template"
  cp -a "$VANTRO_WINEPREFIX" "$VANTRO_WINEPREFIX_TEMPLATE"
  # Keep one wineserver and the prefix's services for the whole run so every
  # program starts quickly; started from here, with no test's output pipes
  # (a test runner waits on those as long as anything holds them).
  wineserver -p 60 || true
  timeout 120 wineboot >/dev/null 2>&1 </dev/null || true
}

vantro_wine_down() {
  if [ -n "${VANTRO_WINEPREFIX:-}" ]; then
    WINEPREFIX="$VANTRO_WINEPREFIX" wineserver -k 2>/dev/null || true
  fi
  [ -n "${VANTRO_XVFB_PID:-}" ] && kill "$VANTRO_XVFB_PID" 2>/dev/null
  [ -n "${VANTRO_WINE_TMP:-}" ] && rm -rf "$VANTRO_WINE_TMP"
  VANTRO_WINEPREFIX="" VANTRO_XVFB_PID="" VANTRO_WINE_TMP="" VANTRO_WINEPREFIX_TEMPLATE=""
}
