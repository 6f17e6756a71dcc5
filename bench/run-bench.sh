#!/usr/bin/env bash
# Runs qv_bench under Wine with a virtual display and a persistent wine server.
# Usage: run-bench.sh <qv_bench.exe> <quorvantline.exe> <qv_bench_window.exe>
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/wine-env.sh"
trap qv_wine_stop EXIT
qv_wine_start 96
"$root/scripts/wine-run.sh" "$@"
