#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's environment (wine-env.sh).
# CMake uses it as the emulator for tests and benchmarks.
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
export LANG="$qv_wine_lang"
exec wine "$@"
