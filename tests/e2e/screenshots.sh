#!/usr/bin/env bash
# Runs the end-to-end tests that take screenshots and saves them as PNG files:
# the start-up report, the skip-mode start, the console at 144 DPI, the pinned
# title bar, the open menu, the plugin manager window and a message box.
# Usage: tests/e2e/screenshots.sh [build folder] [output folder]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build/windows-x64}" && pwd)
out=$(mkdir -p "${2:-$root/shots/e2e}" && cd "${2:-$root/shots/e2e}" && pwd)
source "$root/scripts/wine-env.sh"
trap qv_wine_stop EXIT
qv_wine_start 96
rm -f "$out"/*.bmp
QV_E2E_SHOT_DIR="$out" "$root/scripts/wine-run.sh" "$build/tests/e2e/qv_e2e_tests.exe" \
  --gtest_filter='*Animated*:*SkipMode*:*HighDpi*:*PinAndMinimize*:*TogglesRows*:*EmptyMenu*:*SecondInstance*' >/dev/null
for shot in "$out"/*.bmp; do
  convert "$shot" "${shot%.bmp}.png" && rm -f "$shot"
  echo "${shot%.bmp}.png"
done
