#!/usr/bin/env bash
# Installs what is missing, builds, and starts quorvantline.exe under Wine with
# the bundled plugins (copied beside it by the build).
#
# With a display the program simply runs until it is closed. Without one (or
# with QV_FORCE_XVFB=1) it runs on a virtual display: the script waits for the
# console, types a few commands, prints the output log, saves a screenshot of
# the screen, prints its path and closes the program.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
# QV_BUILD_DIR builds elsewhere than the preset's folder (e.g. beside another build).
build="${QV_BUILD_DIR:-build/windows-x64}"
if [ "$build" = build/windows-x64 ]; then
  cmake --preset windows-x64 >/dev/null
  cmake --build --preset windows-x64
else
  cmake --preset windows-x64 -B "$build" >/dev/null
  cmake --build "$build"
fi
exe="$build/quorvantline.exe"

source scripts/wine-env.sh
export LANG=zh_CN.UTF-8
interactive=1
if [ -z "${DISPLAY:-}" ] || [ "${QV_FORCE_XVFB:-0}" = 1 ]; then interactive=0; fi

if [ "$interactive" = 1 ]; then
  trap qv_wine_stop EXIT
  qv_wine_start 96
  scripts/wine-run.sh "$exe"
  exit 0
fi

# The helper that types into the console (tools/qv_drive.cpp), built with the program.
drive="$build/tools/qv_drive.exe"

program_pid=""
cleanup() {
  if [ -n "$program_pid" ]; then kill "$program_pid" >/dev/null 2>&1 || true; fi
  qv_wine_stop
}
trap cleanup EXIT
qv_wine_start 96
scripts/wine-run.sh "$exe" >/dev/null 2>&1 &
program_pid=$!

commands=(ls time "calc 1+2*3")
echo "run: typing: ${commands[*]}"
scripts/wine-run.sh "$drive" --timeout 60 "${commands[@]}"
echo
mkdir -p shots
shot="$root/shots/console-$(date +%Y%m%d-%H%M%S).png"
import -window root "$shot"
scripts/wine-run.sh "$drive" --timeout 5 --close >/dev/null || true
wait "$program_pid" || true
program_pid=""
echo "run: screenshot saved to $shot"
