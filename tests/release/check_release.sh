#!/usr/bin/env bash
# Checks of what ships, after the windows preset is built: the two programs'
# image flags, imports, sections and version resources, that a second build
# in another folder gives the same bytes, and the release command on good
# and on missing inputs, unsigned and signed with this run's throwaway
# certificates, and on certificates that cannot sign.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
objdump=i686-w64-mingw32-objdump
programs=(installer/PLOTINST.exe deployer/AddonDeploy.exe)
work=$(mktemp -d)
trap 'rm -rf -- "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# Imports are resolved before the programs run their first instruction, so
# they may only name Windows' KnownDLLs, which come from the system and never
# from beside the program (the spooler and the common controls are no
# KnownDLLs: the programs load them from the system directory themselves).
known_dlls=" kernel32.dll user32.dll gdi32.dll advapi32.dll ole32.dll oleaut32.dll shlwapi.dll shell32.dll comdlg32.dll msvcrt.dll "
# Each program ships within 400 KiB. Built without exceptions, they are far
# smaller: these bounds keep them so, and fail a change that links the C++
# runtime's exception and thread machinery back in (about 70 KiB more).
declare -A max_kib=([PLOTINST.exe]=300 [AddonDeploy.exe]=200)

# The version is the one CHANGELOG.md's top entry names ("## 1.0 ...").
version=$(grep -m1 -oP '^## \K[0-9]+\.[0-9]+(?=\s|$)' CHANGELOG.md) || fail "CHANGELOG.md's top entry names no version"
# VS_FIXEDFILEINFO's signature and struct version, then file and product
# version, each as the two DWORDs of major.minor.0.0 (little-endian).
fixed_version() {
  local major=${1%.*} minor=${1#*.} ms
  ms=$(printf '\\x%02X\\x%02X\\x%02X\\x%02X' $((minor & 255)) $((minor >> 8)) $((major & 255)) $((major >> 8)))
  echo "\\xBD\\x04\\xEF\\xFE\\x00\\x00\\x01\\x00$ms\\x00\\x00\\x00\\x00$ms\\x00\\x00\\x00\\x00"
}

for program in "${programs[@]}"; do
  exe=build/windows/$program
  name=$(basename "$program")
  headers=$($objdump -p "$exe")
  grep -q 'file format pei-i386' <<<"$headers" || fail "$name is not a 32-bit x86 image"
  grep -qP '^Magic\s+010b\s+\(PE32\)' <<<"$headers" || fail "$name is not PE32"
  grep -qP '^\s+DYNAMIC_BASE$' <<<"$headers" || fail "$name lacks DYNAMIC_BASE (ASLR)"
  grep -qP '^\s+NX_COMPAT$' <<<"$headers" || fail "$name lacks NX_COMPAT (DEP)"
  dlls=$(grep -oP 'DLL Name: \K\S+' <<<"$headers" | tr '[:upper:]' '[:lower:]')
  [ -n "$dlls" ] || fail "$name lists no imports"
  for dll in $dlls; do
    [[ $known_dlls == *" $dll "* ]] || fail "$name imports $dll, not one of Windows' KnownDLLs"
  done
  size=$(stat -c %s "$exe")
  [ "$size" -le $((max_kib[$name] * 1024)) ] || fail "$name is $size bytes, more than ${max_kib[$name]} KiB"

  sections=$($objdump -h "$exe")
  # A section's flags are on the line after its name; CODE without READONLY
  # is writable and executable.
  wx=$(awk '/^ +[0-9]+ /{s=$2; next} /CODE/ && !/READONLY/{print s}' <<<"$sections")
  [ -z "$wx" ] || fail "$name has writable and executable sections: $wx"
  if grep -q '\.debug_' <<<"$sections"; then fail "$name carries debug sections (not stripped)"; fi
  [ -z "$(i686-w64-mingw32-nm "$exe" 2>/dev/null)" ] || fail "$name carries a symbol table (not stripped)"

  # The top entry's version in the fixed part (file and product version, as
  # major.minor.0.0), and the strings in Chinese (PRC), Unicode.
  LC_ALL=C grep -qaP "$(fixed_version "$version")" "$exe" || fail "$name has no version resource $version.0.0"
  strings=$(strings -el -n 3 "$exe")
  for s in 080404b0 FileDescription OriginalFilename "$name" ProductVersion; do
    grep -qxF "$s" <<<"$strings" || fail "$name's version resource lacks '$s'"
  done
  grep -qxF "$version" <<<"$strings" || fail "$name's version resource lacks the text version $version"
  echo "$name: $(stat -c %s "$exe") bytes, imports" $dlls
done

# A second build of the same sources in another folder.
other=$work/other
mkdir "$other"
git ls-files -z -co --exclude-standard | xargs -0 cp --parents -t "$other"
(cd "$other" && cmake --preset windows >/dev/null && cmake --build --preset windows >/dev/null)
for program in "${programs[@]}"; do
  cmp "build/windows/$program" "$other/build/windows/$program" ||
    fail "$(basename "$program") differs between two builds in different folders"
done

# The release command on stand-in inputs that hold every byte value.
inputs=$work/inputs
mkdir "$inputs"
python3 - "$inputs" <<'PY'
import os, sys
folder = sys.argv[1]
for i, name in enumerate(["DRIVER.dll", "DATA.pcd", "CONFIG.dll", "p32.cpg", "p64.cpg", "p.bmp"]):
    with open(os.path.join(folder, name), "wb") as f:
        f.write(bytes(range(256)) * (i + 1) + os.urandom(1000 + 4099 * i))
PY
args=("$inputs/DRIVER.dll" "$inputs/DATA.pcd" "$inputs/CONFIG.dll" "$inputs/p32.cpg" "$inputs/p64.cpg" "$inputs/p.bmp")
# What a release folder must hold. Signed programs verify up to this run's
# throwaway root and, their signature taken off, are the build's very bytes.
check_folder() {
  local out=$1 signed=$2 listing expected
  listing=$(cd "$out" && ls -A | sort | tr '\n' ' ')
  expected="AddonDeploy.exe Data1.CAB Data2.CAB Data3.CAB MarloCutter.msi Marlotrim.bmp Marlotrim32.cpg Marlotrim64.cpg PLOTINST.exe SHA256SUMS "
  [ "$listing" = "$expected" ] || fail "release folder holds '$listing', expected '$expected'"
  [ "$(cut -d' ' -f3 "$out/SHA256SUMS" | tr '\n' ' ')" = "${expected%SHA256SUMS }" ] ||
    fail "SHA256SUMS does not list every other file: $(cat "$out/SHA256SUMS")"
  (cd "$out" && sha256sum --quiet --strict -c SHA256SUMS) || fail "SHA256SUMS does not match the files"
  # Unscrambled, each package file is its driver file again.
  for pair in "Data1.CAB DRIVER.dll" "Data2.CAB CONFIG.dll" "Data3.CAB DATA.pcd"; do
    set -- $pair
    python3 -c 'import sys; sys.stdout.buffer.write(bytes(b ^ 0xA7 for b in open(sys.argv[1], "rb").read()))' \
      "$out/$1" >"$work/plain"
    cmp -s "$work/plain" "$inputs/$2" || fail "$1 does not unscramble to $2"
  done
  for pair in "Marlotrim32.cpg p32.cpg" "Marlotrim64.cpg p64.cpg" "Marlotrim.bmp p.bmp"; do
    set -- $pair
    cmp -s "$out/$1" "$inputs/$2" || fail "$1 is not a copy of its input"
  done
  for program in "${programs[@]}"; do
    local exe=$out/${program#*/}
    if [ "$signed" = signed ]; then
      osslsigncode verify -CAfile "$pki/root.pem" -in "$exe" >"$work/verify" 2>&1 ||
        fail "$exe does not verify against the throwaway root: $(tail -n 3 "$work/verify")"
      osslsigncode remove-signature -in "$exe" -out "$work/bare.exe" >/dev/null 2>&1 || fail "no signature on $exe"
      exe=$work/bare.exe
    fi
    cmp -s "$exe" "build/windows/$program" || fail "${program#*/} in the release is not the build's"
    rm -f "$work/bare.exe"
  done
  # The package's rollback and commit actions keep their bits.
  # Read whole first: grep -q ending early would end msiinfo with SIGPIPE,
  # which pipefail counts as a failure.
  local actions
  actions=$(msiinfo export "$out/MarloCutter.msi" CustomAction)
  grep -qP '^RollbackPlugin\t3393\t' <<<"$actions" &&
    grep -qP '^RestorePrinter\t3393\t' <<<"$actions" ||
    fail "MarloCutter.msi's rollback action lost its type"
  if [ "$signed" = signed ]; then
    osslsigncode verify -CAfile "$pki/root.pem" -in "$out/MarloCutter.msi" >"$work/verify" 2>&1 ||
      fail "MarloCutter.msi does not verify against the throwaway root: $(tail -n 3 "$work/verify")"
  fi
}
# The releases run traced (bash -x), with a cmake first on PATH that notes
# whether it inherited the signing password: neither the build nor the
# trace may see it, signed or not.
mkdir "$work/spy"
printf '#!/bin/sh\n[ -z "${RELEASE_SIGN_PASSWORD+set}" ] || echo "cmake $*" >>"%s"\nexec %s "$@"\n' \
  "$work/spy/saw-password" "$(command -v cmake)" >"$work/spy/cmake"
chmod +x "$work/spy/cmake"
release() { PATH=$work/spy:$PATH bash -x scripts/release.sh "$@"; }
out=$work/release
if RELEASE_SIGN_PASSWORD=unsigned-secret release "${args[@]}" "$out" >"$work/log" 2>&1; then
  check_folder "$out" unsigned
  grep -qx 'release: no certificate given (--pkcs12): the programs are not signed' "$work/log" ||
    fail "an unsigned release does not say so: $(cat "$work/log")"
  grep -qxF "release: version $version in $out" "$work/log" ||
    fail "the release does not name version $version of CHANGELOG.md's top entry: $(tail -n 1 "$work/log")"
  [ ! -e "$work/spy/saw-password" ] || fail "an unsigned release's build inherited the password: $(cat "$work/spy/saw-password")"
  rm -f "$work/spy/saw-password"
  if bash scripts/release.sh "${args[@]}" "$out" >"$work/log" 2>&1; then
    fail "release over an existing folder succeeded"
  fi
else
  cat "$work/log" >&2
  fail "release on good inputs failed"
fi

# Signed with a throwaway certificate, the password once from a file and once
# from the environment: verified, and the same bytes both times.
pki=$work/pki
bash tests/release/certificates.sh "$pki"
password=$(cat "$pki/password")
if ! command -v osslsigncode >/dev/null; then
  fail "osslsigncode is not installed: signed releases cannot be made or checked here"
elif release --pkcs12 "$pki/signer.p12" --password-file "$pki/password" --ca-file "$pki/root.pem" \
  "${args[@]}" "$work/signed" >"$work/log" 2>&1 &&
  RELEASE_SIGN_PASSWORD=$password release --pkcs12 "$pki/signer.p12" --ca-file "$pki/root.pem" \
    "${args[@]}" "$work/signed-again" >>"$work/log" 2>&1; then
  check_folder "$work/signed" signed
  for program in "${programs[@]}" package/MarloCutter.msi; do
    cmp -s "$work/signed/${program#*/}" "$work/signed-again/${program#*/}" ||
      fail "two signings of ${program#*/} with the same certificate differ"
  done
  ! grep -qF "$password" "$work/log" || fail "a signed release printed the password"
  [ ! -e "$work/spy/saw-password" ] || fail "a signed release's build inherited the password: $(cat "$work/spy/saw-password")"
else
  cat "$work/log" >&2
  fail "signed release on good inputs failed"
fi

# Certificates that cannot sign: each named with its reason, before any
# folder exists, and nothing of the password said.
command -v osslsigncode >/dev/null &&
  while IFS='|' read -r case p12 options expected; do
    mkdir "$work/$case"
    # shellcheck disable=SC2086 # the options are words
    if env -u RELEASE_SIGN_PASSWORD bash scripts/release.sh --pkcs12 "$pki/$p12" $options "${args[@]}" "$work/$case/out" >"$work/log" 2>&1; then
      fail "release with $case succeeded"
    else
      grep -qE "$expected" "$work/log" || fail "release with $case did not say '$expected': $(cat "$work/log")"
    fi
    [ -z "$(ls -A "$work/$case")" ] || fail "release with $case left $(ls -A "$work/$case")"
    ! grep -qF "$password" "$work/log" || fail "release with $case printed the password"
  done <<EOF
no-pkcs12|missing.p12|--password-file $pki/password|certificate '.*missing.p12' is missing
no-pkcs12-file|root.pem|--password-file $pki/password|root.pem' is no PKCS#12 file
wrong-password|signer.p12|--password-file $pki/root.pem|wrong password for the certificate
no-password|signer.p12||no password for '.*signer.p12'
expired|expired.p12|--password-file $pki/password|certificate 'CN = Throwaway Publisher expired' has expired
not-for-code|server.p12|--password-file $pki/password|'CN = Throwaway Publisher server' is not for code signing
no-timestamp|signer.p12|--password-file $pki/password --timestamp http://127.0.0.1:9/|timestamp server http://127.0.0.1:9/ did not answer
other-root|signer.p12|--password-file $pki/password --ca-file $pki/other-root.pem|signature of PLOTINST.exe does not verify
EOF

# A missing input: refused, named, and nothing left behind.
mkdir "$work/missing"
if bash scripts/release.sh "${args[@]:0:4}" "$inputs/nonexistent.cpg" "${args[5]}" "$work/missing/out" >"$work/log" 2>&1; then
  fail "release with a missing input succeeded"
else
  grep -q 'nonexistent.cpg' "$work/log" || fail "release with a missing input did not name it: $(cat "$work/log")"
fi
[ -z "$(ls -A "$work/missing")" ] || fail "release with a missing input left $(ls -A "$work/missing")"
# A folder in place of a file is unreadable as one.
if bash scripts/release.sh "${args[@]:0:2}" "$inputs" "${args[@]:3}" "$work/missing/out" >"$work/log" 2>&1; then
  fail "release with a folder as an input succeeded"
fi
[ -z "$(ls -A "$work/missing")" ] || fail "release with a folder as input left $(ls -A "$work/missing")"

cd "$root"
if [ "$failures" -ne 0 ]; then
  echo "release checks: $failures failed" >&2
  exit 1
fi
echo "release checks: all passed"
