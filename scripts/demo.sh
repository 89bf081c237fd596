#!/usr/bin/env bash
# The installer on Wine, on a prefix with a simulated plotter at USB port 1
# and a sample driver package in its working directory, then the deployer
# with two registered host editions. With a display each runs until its
# dialog is closed; without one they run headless and screenshots are saved
# to build/demo/installer.png and build/demo/deployer.png.
#
# Where this machine runs 32-bit Windows programs (probed), the demo shows
# the shipped 32-bit programs on a 64-bit Windows, under WoW64; elsewhere
# their x86_64 build.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
headless=
[ -z "${DISPLAY:-}" ] && headless=1

source scripts/lanes.sh
cmake --preset host >/dev/null && cmake --build --preset host --target cabpack >/dev/null
probe_32bit_windows "$PWD/build/probe"
if [ "$PROBE_WOW64" = yes ]; then
  cmake --preset windows >/dev/null && cmake --build --preset windows >/dev/null
  programs=build/windows loader=$WINE32_LOADER
  echo "demo: the shipped 32-bit programs, on a 64-bit Windows prefix (WoW64)"
else
  cmake --preset wine-tests >/dev/null && cmake --build --preset wine-tests --target PLOTINST AddonDeploy >/dev/null
  programs=build/wine-tests loader=/usr/lib/wine/wine64
  echo "demo: the programs' x86_64 build, on a 64-bit Windows prefix; the shipped 32-bit ones cannot run here: $PROBE_WOW64"
fi

demo=$PWD/build/demo
mkdir -p "$demo/package" "$demo/driver"
# Stand-ins for the maker's three driver files, scrambled into the package.
head -c 70000 /dev/urandom >"$demo/driver/VELTRA.dll"
head -c 5000 /dev/urandom >"$demo/driver/VELTRA.pcd"
head -c 30000 /dev/urandom >"$demo/driver/VELTRAUI.dll"
build/host/tests/host/cabpack "$demo/driver/VELTRA.dll" "$demo/driver/VELTRA.pcd" "$demo/driver/VELTRAUI.dll" \
  "$demo/package"

source scripts/wine-session.sh
wine_session_start "$demo/prefix" win64 "$loader"
reg() { /usr/lib/wine/wine64 reg "$@" >/dev/null 2>&1; }
# The plotter, as the system's USB printing support records it once plugged in.
class='HKLM\System\CurrentControlSet\Control\DeviceClasses\{28d78fad-5a12-11d1-ae5b-0000f803a8c2}'
device="$class\\##?#USB#Vid_0483&Pid_5750#0000001#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}"
reg add "$device\\#\\Control" /v Linked /t REG_DWORD /d 1 /f
reg add "$device\\#\\Device Parameters" /v "Port Number" /t REG_DWORD /d 1 /f
reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\Ports' /v USB001 /t REG_SZ /d "" /f

# The deployer beside sample plug-in files, and two registered host
# editions (X7, 32-bit and 64-bit) whose folders exist.
mkdir -p "$demo/deployer" "$demo/host/Draw"
cp "$programs/deployer/AddonDeploy.exe" "$demo/deployer/"
echo "sample 32-bit plug-in" >"$demo/deployer/Marlotrim32.cpg"
echo "sample 64-bit plug-in" >"$demo/deployer/Marlotrim64.cpg"
echo "sample bitmap" >"$demo/deployer/Marlotrim.bmp"
winepath_of() { echo "Z:${1//\//\\}"; }
reg add 'HKLM\SOFTWARE\Corel\CorelDraw\17.0' /v ConfigDir /t REG_SZ /d "$(winepath_of "$demo/host/Config")" /f /reg:64
reg add 'HKLM\SOFTWARE\Wow6432Node\Corel\CorelDraw\17.0' /v ConfigDir /t REG_SZ /d "$(winepath_of "$demo/host/Config")" /f /reg:64

exe=$(winepath_of "$PWD/$programs/installer/PLOTINST.exe")
deployer=$(winepath_of "$demo/deployer/AddonDeploy.exe")
cd "$demo/package"
if [ -z "$headless" ]; then
  "$WINE" "$exe"
  "$WINE" "$deployer"
  exit 0
fi

# Starts a program and saves a screenshot once its window shows.
shoot() {
  "$WINE" "$1" >/dev/null 2>&1 </dev/null &
  for _ in $(seq 200); do
    xwininfo -root -tree 2>/dev/null | grep -q "\"$2\"" && break
    sleep 0.1
  done
  sleep 1  # let the first paint finish
  import -window root -crop "$3" "$4"
  echo "screenshot: $4"
}
shoot "$exe" 'MarloCutterSetup32(V1.0)' 640x480+0+0 "$demo/installer.png"
shoot "$deployer" AddonDeploy 1024x768+0+0 "$demo/deployer.png"
