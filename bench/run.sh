#!/usr/bin/env bash
# Builds the installer benchmark for 64-bit Wine and runs it in a Wine session
# of its own prefix, so that it never meets a test run's printers. Prints a
# table of medians.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
cmake -S bench -B build/bench -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
cmake --build build/bench >/dev/null
source scripts/wine-session.sh
wine_session_start "$root/build/bench/prefix"
scripts/wine build/bench/installer_bench.exe </dev/null
