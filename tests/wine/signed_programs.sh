#!/usr/bin/env bash
# The programs under test signed as the release command signs them, with
# this run's throwaway certificates, for the signature tests on Wine:
#   DIR/pki/root.der                 the throwaway root (its key and the signer's are removed)
#   DIR/signed/PLOTINST.exe ...      each program, signed and verified
#   DIR/changed.exe                  the signed installer with one byte of its code changed
#   signed_programs.sh DIR PROGRAM...
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
dir=$1
shift
rm -rf -- "$dir"
bash "$here/../release/certificates.sh" "$dir/pki"
fail() {
  echo "signed programs: $*" >&2
  exit 1
}
source "$here/../../scripts/codesign.sh"
trap codesign_end EXIT
codesign_load "$dir/pki/signer.p12" "$dir/pki/password"
mkdir "$dir/signed"
for exe in "$@"; do
  codesign_sign "$exe" "$dir/signed/$(basename "$exe")"
  codesign_verify "$dir/signed/$(basename "$exe")" "$dir/pki/root.pem"
done
rm -f -- "$dir"/pki/*.key "$dir"/pki/*.p12
# Halfway into the file is inside the signed image, far from the signature.
python3 - "$dir/signed/$(basename "$1")" "$dir/changed.exe" <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
data[len(data) // 2] ^= 0x01
open(sys.argv[2], "wb").write(data)
PY
