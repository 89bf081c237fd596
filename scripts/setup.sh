#!/usr/bin/env bash
# Installs everything the build, the tests and the demo need on Debian:
# the mingw-w64 cross toolchains, Wine with its 32-bit half, QEMU's
# user-mode emulator where the kernel refuses 32-bit code, Xvfb, clang for
# the fuzzers, Wine's own fonts and the fonts the test prefixes map the
# installer's fonts to.
# Idempotent: a second run checks and returns quickly.
set -euo pipefail
source "$(dirname "$0")/lanes.sh"

need=(cmake ninja-build g++ clang libclang-rt-14-dev googletest python3 binutils
      g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools
      wine wine64 xvfb x11-utils imagemagick fonts-wine fonts-arphic-gbsn00lp fonts-liberation)
# 32-bit Wine runs the shipped programs: natively where the kernel executes
# 32-bit code, else under QEMU's user-mode emulator (scripts/lanes.sh). Its
# packages install either way; where the kernel refuses, a few of their
# scripts say "Exec format error", which does no harm.
# Debian 12's own emulator (7.2) takes about 50 s of CPU for each Wine start;
# the 10.0 of its backports suite is fast enough. Only that one package is
# taken from there: qemu-user, whose emulators are static binaries since 10.0.
# Not qemu-user-static, which is now a transitional package that pulls in
# qemu-user-binfmt: that one registers every foreign architecture with the
# host's binfmt_misc, and the lanes register theirs in a namespace only.
emulator=
kernel_runs_i386 || emulator=1

# Empty for a package dpkg has never heard of, which dpkg-query reports as an
# error: on a fresh machine that is most of them.
installed_version() {
  { dpkg-query -W -f='${Status} ${Version}' "$1" 2>/dev/null || true; } | sed -n 's/^install ok installed //p'
}

missing=() missing32=()
for p in "${need[@]}"; do
  [ -n "$(installed_version "$p")" ] || missing+=("$p")
done
[ -n "$(installed_version wine32:i386)" ] || missing32=(wine32:i386)
emulator_missing=
if [ -n "$emulator" ]; then
  v=$(installed_version qemu-user)
  [ -n "$v" ] && dpkg --compare-versions "$v" ge 1:10 || emulator_missing=1
fi
[ "${#missing[@]}" -eq 0 ] && [ "${#missing32[@]}" -eq 0 ] && [ -z "$emulator_missing" ] && exit 0

SUDO=; [ "$(id -u)" -eq 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
backports=
if [ -n "$emulator_missing" ]; then
  . /etc/os-release
  backports=$VERSION_CODENAME-backports
  # Added the Debian way; apt takes nothing from a backports suite unless
  # asked by name.
  if ! grep -rqs "^Suites:.*\b$backports\b\|^deb .* $backports " /etc/apt/sources.list /etc/apt/sources.list.d/; then
    printf 'Types: deb\nURIs: http://deb.debian.org/debian\nSuites: %s\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
      "$backports" | $SUDO tee "/etc/apt/sources.list.d/$backports.sources" >/dev/null
  fi
fi
# A mirror that serves one list out of step with its index ("File has
# unexpected size ... Mirror sync in progress?") fails the whole update; the
# lists it did fetch are good, and a package they cannot provide fails below
# in apt's own words.
$SUDO apt-get update -qq || echo "setup: not every package list could be fetched (above); going on with those that were" >&2
[ "${#missing[@]}" -eq 0 ] || $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
# The 32-bit half only lets the shipped programs be tested. Where it cannot
# be installed, the lane probe finds no 32-bit Wine, the lane lines say so,
# and the x86_64 build stands in.
install_32bit() {
  [ "${#missing32[@]}" -eq 0 ] || $SUDO apt-get install -y -qq --no-install-recommends "${missing32[@]}" >/dev/null ||
    return
  [ -z "$backports" ] || $SUDO apt-get install -y -qq --no-install-recommends -t "$backports" qemu-user >/dev/null
}
install_32bit ||
  echo "setup: 32-bit Wine or its emulator could not be installed (above); the Wine tests run where the lane probe finds a way" >&2
