#!/usr/bin/env bash
# The whole test suite: the platform-free pieces natively under the
# sanitizers and a bounded fuzz run of each, the shipped 32-bit build and its
# checks, and the programs' tests on Wine, in every lane this machine can run.
#
# Lanes: where 32-bit Windows programs run here (probed, not guessed), the
# Wine tests run the shipped 32-bit programs in a 64-bit prefix (under WoW64)
# and in a 32-bit prefix; elsewhere the programs' x86_64 build stands in on a
# 64-bit prefix. Arguments go to every lane's ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

cmake --preset host >/dev/null
cmake --build --preset host
ctest --preset host
bash scripts/fuzz.sh 60

cmake --preset windows >/dev/null
cmake --build --preset windows
# What ships: image flags, imports, identical rebuild, the release command.
bash tests/release/check_release.sh
bash tests/release/check_lanes.sh

source scripts/lanes.sh
probe_32bit_windows "$PWD/build/probe"
failed=0
if [ "$PROBE_WOW64" = yes ] || [ "$PROBE_WIN32" = yes ]; then
  cmake --preset wine-tests-i686 >/dev/null
  cmake --build --preset wine-tests-i686
  if [ "$PROBE_WOW64" = yes ]; then
    run_lane "i686 (shipped programs), win64 prefix, WoW64" wine-tests-i686 win64 "$WINE32_LOADER" "$@" || failed=1
  else
    skip_lane "i686 (shipped programs), win64 prefix, WoW64" "$PROBE_WOW64"
  fi
  if [ "$PROBE_WIN32" = yes ]; then
    run_lane "i686 (shipped programs), win32 prefix" wine-tests-i686 win32 "$WINE32_LOADER" "$@" || failed=1
  else
    skip_lane "i686 (shipped programs), win32 prefix" "$PROBE_WIN32"
  fi
  skip_lane "x86_64 build, win64 prefix" "not needed: the shipped 32-bit programs ran here"
else
  skip_lane "i686 (shipped programs), win64 prefix, WoW64" "$PROBE_WOW64"
  skip_lane "i686 (shipped programs), win32 prefix" "$PROBE_WIN32"
  cmake --preset wine-tests >/dev/null
  cmake --build --preset wine-tests
  run_lane "x86_64 build, win64 prefix" wine-tests win64 /usr/lib/wine/wine64 "$@" || failed=1
fi

print_lanes
exit "$failed"
