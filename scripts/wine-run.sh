#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's environment (wine-env.sh).
# CMake uses it as the emulator for tests and benchmarks.
#
# The program's output goes through a file, not straight to the caller: a Wine
# service that the program happens to start first (the desktop, rpcss, ...)
# inherits its output and keeps it open for as long as the wine server runs,
# and a caller reading a pipe (ctest) would wait for that until its time-out.
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
export LANG="$qv_wine_lang"
output=$(mktemp)
trap 'rm -f "$output"' EXIT
wine "$@" >"$output" 2>&1 </dev/null &
wine_pid=$!
tail -f -s 0.02 --pid="$wine_pid" -n +1 "$output"
wait "$wine_pid"
