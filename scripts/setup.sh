#!/usr/bin/env bash
# Installs everything the build, the tests and the demo need on Debian:
# the mingw-w64 cross toolchain, Wine (32- and 64-bit), Xvfb, clang for the
# fuzzers, and the fonts the test prefixes map the dialog font to.
# Idempotent: a second run checks and returns quickly.
set -euo pipefail

need=(cmake ninja-build g++ clang libclang-rt-14-dev googletest
      g++-mingw-w64-i686-posix mingw-w64-tools binutils-mingw-w64-i686
      wine wine32:i386 wine64 xvfb x11-utils xdotool imagemagick
      fonts-arphic-uming python3 python3-pil)

missing=()
have_i386=$(dpkg --print-foreign-architectures | grep -cx i386 || true)
for p in "${need[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ "${#missing[@]}" -eq 0 ] && [ "$have_i386" -eq 1 ] && exit 0

SUDO=; [ "$(id -u)" -eq 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
[ "$have_i386" -eq 1 ] || $SUDO dpkg --add-architecture i386
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
