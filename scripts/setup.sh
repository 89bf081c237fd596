#!/usr/bin/env bash
# Installs everything the build, the tests and the demo need on Debian:
# the mingw-w64 cross toolchains, Wine with its 32-bit half, QEMU's
# user-mode emulator where the kernel refuses 32-bit code, Xvfb, clang for
# the fuzzers, Wine's own fonts and the fonts the test prefixes map the
# installer's fonts to, osslsigncode and openssl for the signed release, and
# msitools and wixl for its Windows Installer package.
# Idempotent: a second run checks and returns quickly.
set -euo pipefail
source "$(dirname "$0")/lanes.sh"
source "$(dirname "$0")/multiarch.sh"
. /etc/os-release

need=(cmake ninja-build g++ clang googletest python3 binutils
      g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools
      wine wine64 xvfb x11-utils imagemagick fonts-wine fonts-arphic-gbsn00lp fonts-liberation
      osslsigncode openssl msitools wixl)
# 32-bit Wine runs the shipped programs: natively where the kernel executes
# 32-bit code, else under QEMU's user-mode emulator (scripts/lanes.sh). Its
# packages install either way; where the kernel refuses, a few of their
# scripts say "Exec format error", which does no harm.
# An emulator before 10.0 takes about 50 s of CPU for each Wine start (Debian
# 12 has 7.2): it comes from the release where that has 10 or later (Debian
# 13), else from the release's backports suite, and only that one package:
# qemu-user, whose emulators are static binaries since 10.0. Not
# qemu-user-static, which is now a transitional package that pulls in
# qemu-user-binfmt: that one registers every foreign architecture with the
# host's binfmt_misc, and the lanes register theirs in a namespace only.
# Also where the kernel runs 32-bit code, when the emulated way is asked for
# (EMULATE_I386=1, as test.sh --emulated-part does).
emulator=
{ ! emulation_asked && kernel_runs_i386; } || emulator=1

# libFuzzer comes in clang's runtime package, named after clang's major
# version (14 in Debian 12, 19 in Debian 13): the installed clang's, else the
# one apt would install. Empty while apt knows no clang yet.
clang_runtime() {
  local v
  v=$(installed_version clang)
  [ -n "$v" ] || v=$(apt-cache policy clang 2>/dev/null | sed -n 's/^ *Candidate: //p')
  v=${v#*:}
  v=${v%%.*}
  [[ $v =~ ^[0-9]+$ ]] && echo "libclang-rt-$v-dev"
}

missing_packages() {
  missing=()
  local p runtime
  runtime=$(clang_runtime) || runtime=clang-runtime-unknown
  for p in "${need[@]}" "$runtime"; do
    [ -n "$(installed_version "$p")" ] || missing+=("$p")
  done
}

emulator_ok() {
  local v
  v=$(installed_version qemu-user)
  [ -n "$v" ] && dpkg --compare-versions "$v" ge 1:10
}

missing_packages
wine32_missing=
[ -n "$(installed_version wine32:i386)" ] || wine32_missing=1
emulator_missing=
[ -z "$emulator" ] || emulator_ok || emulator_missing=1
[ "${#missing[@]}" -eq 0 ] && [ -z "$wine32_missing" ] && [ -z "$emulator_missing" ] && exit 0

# For good: docs/building.md says how to undo it.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  as_root dpkg --add-architecture i386
fi
# A mirror that serves one list out of step with its index ("File has
# unexpected size ... Mirror sync in progress?") fails the whole update; the
# lists it did fetch are good, and a package they cannot provide fails below
# in apt's own words.
update_lists() {
  as_root apt-get update -qq || echo "setup: not every package list could be fetched (above); going on with those that were" >&2
}
update_lists
missing_packages
[ "${#missing[@]}" -eq 0 ] || as_root apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
# Asked again: on a fresh machine the probe had no assembler yet (binutils)
# and took the kernel for one that refuses 32-bit code.
emulator= emulator_missing=
{ ! emulation_asked && kernel_runs_i386; } || emulator=1
[ -z "$emulator" ] || emulator_ok || emulator_missing=1

# From the release where it has 10 or later, else from its backports suite,
# added the Debian way (apt takes nothing from a backports suite unless asked
# by name).
install_emulator() {
  local candidate from=()
  candidate=$(apt-cache policy qemu-user | sed -n 's/^ *Candidate: //p')
  if ! dpkg --compare-versions "${candidate:-0}" ge 1:10; then
    local backports=$VERSION_CODENAME-backports
    if ! grep -rqs "^Suites:.*\b$backports\b\|^deb .* $backports " /etc/apt/sources.list /etc/apt/sources.list.d/; then
      printf 'Types: deb\nURIs: http://deb.debian.org/debian\nSuites: %s\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
        "$backports" | as_root tee "/etc/apt/sources.list.d/$backports.sources" >/dev/null
      update_lists
    fi
    from=(-t "$backports")
  fi
  local said
  if said=$(LC_ALL=C as_root apt-get install -y -qq --no-install-recommends --no-remove "${from[@]}" qemu-user 2>&1); then
    echo "setup: emulator $(installed_version qemu-user) installed${from:+ from ${from[1]}}"
    return
  fi
  echo "setup: the emulator could not be installed; apt said:" >&2
  echo "$said" >&2
  apt_found_no_solution "$said" && return 1
  return 2
}

# The 32-bit half only lets the shipped programs be tested. Where apt finds
# no way to install it (a mirror's fault), the lane probe finds no 32-bit
# Wine, the lane lines say so, and the x86_64 build stands in. Any other
# failure (a lock, a download, dpkg, a downgrade not allowed) fails setup.
install_32bit() {
  local rc=0
  [ -z "$wine32_missing" ] || install_both_halves wine32:i386 || rc=$?
  [ "$rc" -ne 0 ] || [ -z "$emulator_missing" ] || install_emulator || rc=$?
  [ "$rc" -ne 1 ] || echo "setup: apt found no way to install 32-bit Wine or its emulator (above); the Wine tests run where the lane probe finds a way" >&2
  [ "$rc" -le 1 ]
}
install_32bit
