# Sourced: a throwaway 32-bit Wine prefix and an Xvfb display for this run,
# both taken down (wineserver stopped) when the shell exits.
vantro_wine_up() {
  VANTRO_WINE_TMP=$(mktemp -d "${TMPDIR:-/tmp}/vantro-wine.XXXXXX")
  export VANTRO_WINEPREFIX="$VANTRO_WINE_TMP/prefix"
  export WINEPREFIX="$VANTRO_WINEPREFIX" WINEARCH=win32 WINEDEBUG=-all
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
  # Keep one wineserver for the whole run so every program starts quickly.
  wineserver -p 60 || true
}

vantro_wine_down() {
  if [ -n "${VANTRO_WINEPREFIX:-}" ]; then
    WINEPREFIX="$VANTRO_WINEPREFIX" wineserver -k 2>/dev/null || true
  fi
  [ -n "${VANTRO_XVFB_PID:-}" ] && kill "$VANTRO_XVFB_PID" 2>/dev/null
  [ -n "${VANTRO_WINE_TMP:-}" ] && rm -rf "$VANTRO_WINE_TMP"
  VANTRO_WINEPREFIX="" VANTRO_XVFB_PID="" VANTRO_WINE_TMP=""
}
