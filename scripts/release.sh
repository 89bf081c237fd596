#!/usr/bin/env bash
# Builds the folder that ships: the two programs, the driver package made from
# the maker's three driver files, and the maker's plug-in files.
#
#   scripts/release.sh DRIVER.dll DATA.pcd CONFIG.dll \
#                      Marlotrim32.cpg Marlotrim64.cpg Marlotrim.bmp OUTPUT_FOLDER
#
# OUTPUT_FOLDER must not exist yet. The folder is put together beside it under
# a temporary name and renamed into place only when complete, so a failed run
# leaves nothing behind.
set -euo pipefail

usage="usage: scripts/release.sh DRIVER.dll DATA.pcd CONFIG.dll Marlotrim32.cpg Marlotrim64.cpg Marlotrim.bmp OUTPUT_FOLDER"
if [ "$#" -ne 7 ]; then
  echo "$usage" >&2
  exit 2
fi

fail() {
  echo "release: $*" >&2
  exit 1
}

# Every input is checked before anything is built or written.
inputs=()
for f in "${@:1:6}"; do
  [ -f "$f" ] || fail "input '$f' is missing or not a file"
  [ -r "$f" ] && head -c 1 -- "$f" >/dev/null 2>&1 || fail "input '$f' cannot be read"
  inputs+=("$(realpath -- "$f")")
done
out=$(realpath -m -- "$7")
[ -e "$out" ] && fail "'$7' already exists; remove it or choose another folder"
parent=$(dirname -- "$out")
[ -d "$parent" ] && [ -w "$parent" ] || fail "cannot create '$7': '$parent' is not a writable folder"

cd "$(dirname "$0")/.."
cmake --preset windows >/dev/null
cmake --build --preset windows >/dev/null
cmake --preset host >/dev/null
cmake --build --preset host --target cabpack >/dev/null

staging=$(mktemp -d "$parent/.$(basename -- "$out").XXXXXX")
trap 'rm -rf -- "$staging"' EXIT
cp build/windows/installer/PLOTINST.exe build/windows/deployer/AddonDeploy.exe "$staging/"
build/host/tests/host/cabpack "${inputs[0]}" "${inputs[1]}" "${inputs[2]}" "$staging"
cp -- "${inputs[3]}" "$staging/Marlotrim32.cpg"
cp -- "${inputs[4]}" "$staging/Marlotrim64.cpg"
cp -- "${inputs[5]}" "$staging/Marlotrim.bmp"
chmod 755 "$staging"
# rename(2) is atomic, and fails rather than merge if the folder appeared meanwhile.
mv -T -- "$staging" "$out"
trap - EXIT
echo "release: $out"
