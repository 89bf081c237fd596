#!/usr/bin/env bash
# Builds the folder that ships: the two programs, the driver package made from
# the maker's three driver files, the maker's plug-in files, the Windows
# Installer package of all of them (MarloCutter.msi, scripts/msi.sh), and
# SHA256SUMS.
#
#   scripts/release.sh [--pkcs12 FILE [--password-file FILE] [--timestamp URL] [--ca-file FILE]] \
#                      DRIVER.dll DATA.pcd CONFIG.dll \
#                      Marlotrim32.cpg Marlotrim64.cpg Marlotrim.bmp OUTPUT_FOLDER
#
# With --pkcs12 both programs, the package's custom-action DLL and the
# package are signed with that code-signing certificate
# (scripts/codesign.sh; its password from --password-file or the environment
# variable RELEASE_SIGN_PASSWORD), timestamped by the RFC 3161 server at URL
# if one is named, and verified up to a root of --ca-file (PEM; by default
# the system's). Without it the programs ship unsigned.
#
# OUTPUT_FOLDER must not exist yet. The folder is put together beside it under
# a temporary name and renamed into place only when complete and its
# signatures verified, so a failed run leaves nothing behind.
set -euo pipefail
# The signing password stays in this shell: nothing it starts inherits it.
export -n RELEASE_SIGN_PASSWORD

# The version released: the programs' version resources and the top entry of
# CHANGELOG.md name the same one (tests/release/check_release.sh checks).
version=1.0

usage="usage: scripts/release.sh [--pkcs12 FILE [--password-file FILE] [--timestamp URL] [--ca-file FILE]] DRIVER.dll DATA.pcd CONFIG.dll Marlotrim32.cpg Marlotrim64.cpg Marlotrim.bmp OUTPUT_FOLDER"
pkcs12= pwfile= tsurl= cafile=
while [ "$#" -gt 7 ]; do
  case "$1" in
  --pkcs12) pkcs12=$2 ;;
  --password-file) pwfile=$2 ;;
  --timestamp) tsurl=$2 ;;
  --ca-file) cafile=$2 ;;
  *) break ;;
  esac
  shift 2
done
if [ "$#" -ne 7 ] || { [ -z "$pkcs12" ] && [ -n "$pwfile$tsurl$cafile" ]; }; then
  echo "$usage" >&2
  exit 2
fi

fail() {
  echo "release: $*" >&2
  exit 1
}
source "$(dirname "$0")/codesign.sh"
trap codesign_end EXIT

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
if [ -n "$pkcs12" ]; then
  codesign_load "$pkcs12" "$pwfile"
  if [ -n "$cafile" ]; then
    [ -f "$cafile" ] && [ -r "$cafile" ] || fail "the root certificates '$cafile' cannot be read"
    cafile=$(realpath -- "$cafile")
  fi
else
  echo "release: no certificate given (--pkcs12): the programs are not signed"
fi

cd "$(dirname "$0")/.."
cmake --preset windows >/dev/null
cmake --build --preset windows >/dev/null
cmake --preset host >/dev/null
cmake --build --preset host --target cabpack >/dev/null

staging=$(mktemp -d "$parent/.$(basename -- "$out").XXXXXX")
trap 'rm -rf -- "$staging"; codesign_end' EXIT
# The programs come first, signed and verified, before anything else is added.
for exe in build/windows/installer/PLOTINST.exe build/windows/deployer/AddonDeploy.exe; do
  if [ -n "$pkcs12" ]; then
    codesign_sign "$exe" "$staging/$(basename "$exe")" "$tsurl"
    codesign_verify "$staging/$(basename "$exe")" "$cafile"
  else
    cp -- "$exe" "$staging/"
  fi
done
# Says which Windows the package is for, and refuses a driver and a
# configuration DLL built for different ones.
build/host/tests/host/cabpack "${inputs[0]}" "${inputs[1]}" "${inputs[2]}" "$staging" ||
  fail "the driver package could not be made (see above); nothing was written"
cp -- "${inputs[3]}" "$staging/Marlotrim32.cpg"
cp -- "${inputs[4]}" "$staging/Marlotrim64.cpg"
cp -- "${inputs[5]}" "$staging/Marlotrim.bmp"
# The package from the staged (signed) files; its custom actions signed
# before they go in, the package itself after.
actions=build/windows/msi/MarloSetupActions.dll
package_work=$(mktemp -d)
trap 'rm -rf -- "$staging" "$package_work"; codesign_end' EXIT
if [ -n "$pkcs12" ]; then
  codesign_sign "$actions" "$package_work/MarloSetupActions.dll" "$tsurl"
  codesign_verify "$package_work/MarloSetupActions.dll" "$cafile"
  actions=$package_work/MarloSetupActions.dll
fi
bash scripts/msi.sh "$staging" "$actions" "$package_work/MarloCutter.msi"
if [ -n "$pkcs12" ]; then
  codesign_sign "$package_work/MarloCutter.msi" "$staging/MarloCutter.msi" "$tsurl"
  codesign_verify "$staging/MarloCutter.msi" "$cafile"
else
  cp -- "$package_work/MarloCutter.msi" "$staging/"
fi
rm -rf -- "$package_work"
(
  cd "$staging"
  export LC_ALL=C
  files=(*)
  sha256sum -- "${files[@]}" >SHA256SUMS
)
chmod 755 "$staging"
# rename(2) is atomic, and fails rather than merge if the folder appeared meanwhile.
mv -T -- "$staging" "$out"
trap codesign_end EXIT
echo "release: version $version in $out"
