#!/usr/bin/env bash
# Throwaway certificates for one test run, made in DIR (never kept):
#   root.pem, root.der   a root that exists only for this run
#   signer.p12           a code-signing certificate under it, with its key
#   password             signer.p12's password (and that of the two below)
#   expired.p12          a code-signing certificate that has expired
#   server.p12           a certificate for web servers, not for code signing
#   other-root.pem       another root, under which nothing is signed
#   certificates.sh DIR
set -euo pipefail
dir=$1
mkdir -p "$dir"
cd "$dir"
printf '%s\n' 'throwaway pass $(word) "x"' >password
root() {
  openssl req -x509 -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.pem" -days 2 -subj "/CN=$2" \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign 2>/dev/null
}
# leaf NAME DAYS EXTENDED_KEY_USAGE: a certificate under the root, in NAME.p12.
leaf() {
  openssl req -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.csr" -subj "/CN=Throwaway Publisher $1" 2>/dev/null
  printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=%s\n' "$3" >"$1.ext"
  # One that has expired ended yesterday: OpenSSL 3.4 and later refuse a
  # negative -days ("end date before start date") and take the dates.
  # The help is read whole first: grep -q ending at the first match would
  # end openssl's later writes with SIGPIPE, which pipefail counts.
  local validity=(-days "$2") help
  help=$(openssl x509 -help 2>&1 || true)
  if [ "$2" -lt 0 ] && grep -q -- -not_after <<<"$help"; then
    validity=(-not_before "$(date -u -d '2 days ago' +%Y%m%d%H%M%SZ)" -not_after "$(date -u -d '1 day ago' +%Y%m%d%H%M%SZ)")
  fi
  openssl x509 -req -in "$1.csr" -CA root.pem -CAkey root.key -set_serial "0x$(openssl rand -hex 8)" \
    "${validity[@]}" -extfile "$1.ext" -out "$1.pem" 2>/dev/null
  openssl pkcs12 -export -in "$1.pem" -inkey "$1.key" -certfile root.pem -out "$1.p12" -passout file:password
}
root root "Throwaway Root $$"
root other-root "Another Throwaway Root $$"
openssl x509 -in root.pem -outform DER -out root.der
leaf signer 1 codeSigning
leaf expired -1 codeSigning
leaf server 1 serverAuth
