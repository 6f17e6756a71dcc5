#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
cmake --preset windows-x64 >/dev/null
cmake --build --preset windows-x64
source scripts/wine-env.sh
trap qv_wine_stop EXIT
qv_wine_start 96
ctest --preset windows-x64 "$@"
