#!/usr/bin/env bash
# The installer on Wine, on a prefix with a simulated plotter at USB port 1
# and a sample driver package in its working directory, then the deployer
# with two registered host editions. With a display each runs until its
# dialog is closed; without one they run headless and screenshots are saved
# to build/demo/installer.png and build/demo/deployer.png.
#
# Where this machine runs 32-bit Windows programs (probed: natively, or
# under QEMU's user-mode emulator), the demo shows the shipped 32-bit
# programs on a 64-bit Windows, under WoW64; elsewhere their x86_64 build.
set -euo pipefail
source "$(dirname "$0")/fixed-layout.sh" "$0" "$@"
cd "$(dirname "$0")/.."
bash scripts/setup.sh
headless=
[ -z "${DISPLAY:-}" ] && headless=1

source scripts/lanes.sh
cmake --preset host >/dev/null && cmake --build --preset host --target cabpack >/dev/null
probe_32bit_windows "$PWD/build/probe"
if [ "$PROBE_WOW64" = yes ]; then
  cmake --preset windows >/dev/null && cmake --build --preset windows >/dev/null
  echo "demo: the shipped 32-bit programs, on a 64-bit Windows prefix (WoW64), $I386_WAY, $(wine_version "$WINE32_LOADER" "$I386_WAY")"
  # The whole session runs that way: under the emulator, inside a namespace
  # of its own, which ends with it.
  in_i386_way bash scripts/demo-session.sh build/windows "$WINE32_LOADER" "$headless"
else
  cmake --preset wine-tests >/dev/null && cmake --build --preset wine-tests --target PLOTINST AddonDeploy >/dev/null
  echo "demo: the programs' x86_64 build, on a 64-bit Windows prefix, $(wine_version "$WINE64_LOADER"); the shipped 32-bit ones cannot run here: $PROBE_WOW64"
  bash scripts/demo-session.sh build/wine-tests /usr/lib/wine/wine64 "$headless"
fi

