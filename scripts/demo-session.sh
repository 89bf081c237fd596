#!/usr/bin/env bash
# The demo's Wine session (started by scripts/demo.sh, inside the way 32-bit
# programs run here where they are the shipped ones):
#   demo-session.sh PROGRAMS_BUILD_DIR LOADER [headless]
set -euo pipefail
cd "$(dirname "$0")/.."
programs=$1 loader=$2 headless=${3:-}

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

# Starts a program and saves a screenshot of its window once it shows.
shoot() {
  "$WINE" "$1" >/dev/null 2>&1 </dev/null &
  local id=
  for _ in $(seq 300); do
    id=$(xwininfo -root -tree 2>/dev/null | grep -m1 "\"$2\"" | awk '{print $1}') || true
    [ -n "$id" ] && break
    sleep 0.1
  done
  local geometry
  geometry=$(xwininfo -id "$id" | awk '/Width:/{w=$2} /Height:/{h=$2} /Absolute upper-left X:/{x=$4} /Absolute upper-left Y:/{y=$4} END{print w "x" h "+" x "+" y}')
  # The first paint is done when the window stops changing: two shots half
  # a second apart alike (an emulated processor paints slowly).
  sleep 1
  import -window root -crop "$geometry" "$3"
  for _ in $(seq 60); do
    sleep 0.5
    import -window root -crop "$geometry" "$3.next.png"
    compare -metric AE "$3" "$3.next.png" null: 2>/dev/null && break
    mv "$3.next.png" "$3"
  done
  rm -f "$3.next.png"
  echo "screenshot: $3"
}
shoot "$exe" 'MarloCutterSetup32(V1.0)' "$demo/installer.png"
shoot "$deployer" AddonDeploy "$demo/deployer.png"
