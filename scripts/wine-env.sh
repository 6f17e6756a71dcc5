# The project's Wine environment, in one place. Sourced by the run, test and
# bench scripts and by wine-run.sh (CMake's emulator): the Wine prefix and its
# settings; qv_wine_start adds a virtual display when there is none, creates
# the prefix once and starts a persistent wine server. Background servers get
# their output redirected away and are stopped by qv_wine_stop, so that a
# caller reading this script's output is not held open.

qv_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX="${WINEPREFIX:-$qv_root/build/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# The locale Windows programs run in (wine-run.sh): Wine takes the code page and
# interface language from it.
qv_wine_lang="${QV_WINE_LANG:-zh_CN.UTF-8}"
qv_xvfb_pid=""

qv_wine_start() {
  local dpi="${1:-96}"
  if [ -z "${DISPLAY:-}" ] || [ "${QV_FORCE_XVFB:-0}" = 1 ]; then
    local n
    for n in $(seq 90 140); do
      [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
      Xvfb ":$n" -screen 0 1920x1200x24 -nolisten tcp >/dev/null 2>&1 &
      qv_xvfb_pid=$!
      export DISPLAY=":$n"
      break
    done
    local i
    for i in $(seq 1 50); do [ -e "/tmp/.X11-unix/X${DISPLAY#:}" ] && break; sleep 0.1; done
  fi
  mkdir -p "$(dirname "$WINEPREFIX")"
  if [ ! -f "$WINEPREFIX/.qv-ready" ]; then
    echo "wine: creating prefix $WINEPREFIX" >&2
    LANG="$qv_wine_lang" wine wineboot -i >/dev/null 2>&1 || true
    # Without a window manager, unmanaged windows end in milliseconds instead of ~2 s.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    # Wine has no Consolas: stand in a monospaced face with Chinese glyphs, so
    # columns line up as they do on Windows.
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Consolas /d 'WenQuanYi Micro Hei Mono' /f >/dev/null 2>&1
    touch "$WINEPREFIX/.qv-ready"
  fi
  wineserver -p >/dev/null 2>&1 &
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
}

qv_wine_stop() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$qv_xvfb_pid" ]; then kill "$qv_xvfb_pid" >/dev/null 2>&1 || true; fi
}
