#!/usr/bin/env bash
# Installs everything the build, the tests and the demo need on Debian:
# the mingw-w64 cross toolchains, Wine, Xvfb, clang for the fuzzers, Wine's
# own fonts and the fonts the test prefixes map the installer's fonts to.
# Idempotent: a second run checks and returns quickly.
set -euo pipefail
source "$(dirname "$0")/lanes.sh"

need=(cmake ninja-build g++ clang libclang-rt-14-dev googletest python3 binutils
      g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools
      wine wine64 xvfb x11-utils imagemagick fonts-wine fonts-arphic-uming fonts-liberation)
# 32-bit Wine runs the shipped programs where the kernel executes 32-bit
# code. Elsewhere its packages would not even install (their scripts run
# 32-bit programs), and the tests use the x86_64 build instead.
i386=
if kernel_runs_i386; then
  i386=1
  need+=(wine32:i386)
fi

missing=()
for p in "${need[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ "${#missing[@]}" -eq 0 ] && exit 0

SUDO=; [ "$(id -u)" -eq 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
if [ -n "$i386" ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
