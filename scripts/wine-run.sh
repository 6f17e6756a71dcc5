#!/usr/bin/env bash
# Runs a Windows program under Wine with the project's prefix and settings.
# CMake uses it as the emulator for tests and benchmarks.
root=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="${WINEPREFIX:-$root/build/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export LANG="${QV_WINE_LANG:-zh_CN.UTF-8}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
exec wine "$@"
