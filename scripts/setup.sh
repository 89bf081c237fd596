#!/usr/bin/env bash
# Installs everything the build, the tests and the demo need on Debian:
# the mingw-w64 cross toolchains, Wine, Xvfb, clang for the fuzzers,
# and the fonts the test prefixes map the dialog fonts to.
# Idempotent: a second run checks and returns quickly.
set -euo pipefail

# 32-bit x86 code cannot execute on the machines this project runs on, so
# Wine is its 64-bit part alone and the tests run the programs' x86_64 build.
need=(cmake ninja-build g++ clang libclang-rt-14-dev googletest python3
      g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools
      wine wine64 xvfb x11-utils imagemagick fonts-arphic-uming fonts-liberation)

missing=()
for p in "${need[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ "${#missing[@]}" -eq 0 ] && exit 0

SUDO=; [ "$(id -u)" -eq 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
