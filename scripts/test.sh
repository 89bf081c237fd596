#!/usr/bin/env bash
# The whole test suite: the platform-free pieces natively under the
# sanitizers and a bounded fuzz run of each, the shipped 32-bit build and its
# checks, and the programs' tests on Wine, in every lane this machine can run.
#
# Lanes: where 32-bit Windows programs run here (probed, not guessed:
# natively, or under QEMU's user-mode emulator where the kernel refuses
# them), the Wine tests run the shipped 32-bit programs in a 64-bit prefix
# (under WoW64) and in a 32-bit prefix; elsewhere the programs' x86_64 build
# stands in on a 64-bit prefix. Arguments go to every lane's ctest.
#
#   test.sh [--repeat N] [--emulated-part] [--root 12|13] [ctest arguments]
#
# --repeat N runs the Wine tier N times (everything else once), prints the
# lane lines of each run and, for every test that failed, how often.
# --root R then runs the whole command once more, with the other arguments,
# in a fresh Debian R root (scripts/fresh-root.sh), and prints its lanes
# with these: so CI runs the suite on Debian 13's Wine 10 too.
# --emulated-part: where the i686 lanes ran natively, a few end-to-end tests
# of each program run once more under the emulator, in the win64 prefix,
# so that CI runs both ways on any machine (EMULATE_I386=1 takes the
# emulated way for every lane instead).
set -euo pipefail
source "$(dirname "$0")/fixed-layout.sh" "$0" "$@"
cd "$(dirname "$0")/.."
repeat=1 root= root_args=() part=
while :; do
  case ${1:-} in
    --repeat)
      repeat=${2:-}
      [[ $repeat =~ ^[1-9][0-9]{0,2}$ ]] || { echo "test.sh: --repeat takes a number from 1 to 999" >&2; exit 2; }
      root_args+=(--repeat "$repeat")
      shift 2
      ;;
    --emulated-part)
      part=1
      root_args+=(--emulated-part)
      shift
      ;;
    --root)
      root=${2:-}
      [[ $root =~ ^1[23]$ ]] || { echo "test.sh: --root takes 12 or 13" >&2; exit 2; }
      shift 2
      ;;
    *) break ;;
  esac
done
# The emulated part needs the emulator where the kernel runs 32-bit code too.
if [ -n "$part" ]; then EMULATE_I386=1 bash scripts/setup.sh; else bash scripts/setup.sh; fi

cmake --preset host >/dev/null
cmake --build --preset host
ctest --preset host
bash scripts/fuzz.sh 60

cmake --preset windows >/dev/null
cmake --build --preset windows
# What ships: image flags, imports, identical rebuild, the release command.
bash tests/release/check_release.sh
bash tests/release/check_docs.sh
bash tests/release/check_lanes.sh
bash tests/release/check_fresh_root.sh
bash tests/release/check_setup.sh

source scripts/lanes.sh
probe_32bit_windows "$PWD/build/probe"
failed=0
wow64="i686 (shipped programs), win64 prefix, WoW64"
win32="i686 (shipped programs), win32 prefix"
x86_64="x86_64 build, win64 prefix"
if [ "$PROBE_WOW64" = yes ] || [ "$PROBE_WIN32" = yes ]; then
  cmake --preset wine-tests-i686 >/dev/null
  cmake --build --preset wine-tests-i686
  [ "$PROBE_WOW64" = yes ] || skip_lane "$wow64" "$PROBE_WOW64"
  [ "$PROBE_WIN32" = yes ] || skip_lane "$win32" "$PROBE_WIN32"
  for LANE_RUN in $(seq "$repeat"); do
    if [ "$PROBE_WOW64" = yes ]; then
      run_lane "$wow64" "$I386_WAY" wine-tests-i686 win64 "$WINE32_LOADER" "$@" || failed=1
    fi
    if [ "$PROBE_WIN32" = yes ]; then
      run_lane "$win32" "$I386_WAY" wine-tests-i686 win32 "$WINE32_LOADER" "$@" || failed=1
    fi
  done
  if [ -n "$part" ]; then
    # Emulated, a 64-bit prefix is the quicker: its own services run natively.
    [ "$PROBE_WOW64" = yes ] && kind=win64 name=$wow64 || kind=win32 name=$win32
    LANE_RUN=1 run_emulated_part "$name, end-to-end part" "$kind" "$WINE32_LOADER" "$@" || failed=1
  fi
  skip_lane "$x86_64" "not needed: the shipped 32-bit programs ran here"
else
  skip_lane "$wow64" "$PROBE_WOW64"
  skip_lane "$win32" "$PROBE_WIN32"
  cmake --preset wine-tests >/dev/null
  cmake --build --preset wine-tests
  for LANE_RUN in $(seq "$repeat"); do
    run_lane "$x86_64" "" wine-tests win64 /usr/lib/wine/wine64 "$@" || failed=1
  done
fi

[ -z "$root" ] || run_root_lanes "$root" bash scripts/test.sh "${root_args[@]}" "$@" || failed=1
print_lanes
exit "$failed"
