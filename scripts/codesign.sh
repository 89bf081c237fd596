# Sourced by the release command: Authenticode signatures (SHA-256) with a
# code-signing certificate held in a PKCS#12 file, made and checked with
# osslsigncode. The caller defines fail MESSAGE, which must not return.
#
#   codesign_load PKCS12 [PASSWORD_FILE]   checks the certificate, before anything is built
#   codesign_sign IN OUT [TIMESTAMP_URL]   signs a copy of IN as OUT
#   codesign_verify FILE [CA_FILE]         verifies OUT's signature up to a root of CA_FILE
#   codesign_end                           forgets the password, removes the extracted certificate
#
# The password comes from PASSWORD_FILE (its first line) or else from the
# environment variable RELEASE_SIGN_PASSWORD, never from a command line. It
# stays in this shell and reaches the tools through a pipe; no output names it.

_codesign_password=
_codesign_pkcs12=
_codesign_dir=
# Kept in this shell from the start: no command it starts inherits it.
export -n RELEASE_SIGN_PASSWORD

# Tracing (bash -x, or an inherited SHELLOPTS) is off around every line that
# holds the password, else the trace would print it.
_codesign_untraced() { _codesign_xtrace=$-; set +x; } 2>/dev/null
_codesign_retraced() { [[ $_codesign_xtrace != *x* ]] || set -x; } 2>/dev/null

# The password on descriptor 3 of the command that follows.
_codesign_pass() {
  _codesign_untraced
  printf '%s' "$_codesign_password"
}

# What a tool said about its failure: the first part of its output matching
# an extended regular expression, if any.
_codesign_said() {
  local said
  said=$(grep -m 1 -oE "$2" "$1" | head -n 1)
  [ -z "$said" ] || echo ": ${said:0:200}"
}

codesign_load() {
  local p12=$1 pwfile=${2:-}
  command -v osslsigncode >/dev/null || fail "signing needs osslsigncode (Debian's package of that name)"
  [ -f "$p12" ] && [ -r "$p12" ] || fail "the certificate '$p12' is missing or cannot be read"
  _codesign_untraced
  if [ -n "$pwfile" ]; then
    [ -f "$pwfile" ] && [ -r "$pwfile" ] || fail "the password file '$pwfile' is missing or cannot be read"
    IFS= read -r _codesign_password <"$pwfile" || [ -n "$_codesign_password" ] ||
      fail "the password file '$pwfile' is empty"
  elif [ -n "${RELEASE_SIGN_PASSWORD+set}" ]; then
    _codesign_password=$RELEASE_SIGN_PASSWORD
  else
    fail "no password for '$p12': set RELEASE_SIGN_PASSWORD or give --password-file"
  fi
  _codesign_retraced
  _codesign_pkcs12=$(realpath -- "$p12")
  _codesign_dir=$(mktemp -d)
  local leaf=$_codesign_dir/certificate.pem log=$_codesign_dir/log
  # Files exported by older tools need OpenSSL's legacy ciphers.
  local legacy
  for legacy in "" -legacy; do
    openssl pkcs12 $legacy -in "$p12" -passin fd:3 -nokeys -clcerts -out "$leaf" 3< <(_codesign_pass) 2>"$log" &&
      break
    grep -q 'invalid password\|mac verify' "$log" && fail "wrong password for the certificate '$p12'"
    [ -z "$legacy" ] || fail "'$p12' is no PKCS#12 file that OpenSSL can read"
  done
  grep -q 'BEGIN CERTIFICATE' "$leaf" || fail "'$p12' holds no certificate with its key"
  local subject
  subject=$(openssl x509 -in "$leaf" -noout -subject -nameopt oneline | sed 's/^subject=//')
  openssl x509 -in "$leaf" -noout -checkend 0 >/dev/null ||
    fail "the certificate '$subject' has expired ($(openssl x509 -in "$leaf" -noout -enddate | cut -d= -f2))"
  local start
  start=$(openssl x509 -in "$leaf" -noout -startdate | cut -d= -f2)
  [ "$(date -d "$start" +%s)" -le "$(date +%s)" ] || fail "the certificate '$subject' is valid only from $start"
  openssl x509 -in "$leaf" -noout -ext extendedKeyUsage 2>/dev/null | grep -q 'Code Signing' ||
    fail "the certificate '$subject' is not for code signing (its extended key usage lacks Code Signing)"
  echo "release: signing as '$subject'"
}

codesign_sign() {
  local in=$1 out=$2 url=${3:-} log=$_codesign_dir/log failure='^[A-Z][A-Za-z0-9 ]* fail(ure|ed)\b.*'
  local how=(-ts "$url")
  # Without a timestamp the signing time is the sources' own (the last
  # commit's, or SOURCE_DATE_EPOCH), so that two signings with an RSA key
  # give the same bytes (an ECDSA signature differs on every signing).
  [ -n "$url" ] || how=(-time "${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || date +%s)}")
  osslsigncode sign -pkcs12 "$_codesign_pkcs12" -readpass /dev/fd/3 -h sha256 "${how[@]}" \
    -in "$in" -out "$out" 3< <(_codesign_pass) >"$log" 2>&1 || {
    [ -z "$url" ] || ! grep -qi 'timestamp\|connect\|HTTP' "$log" ||
      fail "signing $(basename "$in") failed: the timestamp server $url did not answer$(_codesign_said "$log" "$failure")"
    fail "signing $(basename "$in") failed$(_codesign_said "$log" "$failure")"
  }
}

codesign_verify() {
  local file=$1 ca=${2:-} log=$_codesign_dir/log roots=()
  [ -z "$ca" ] || roots=(-CAfile "$ca" -TSA-CAfile "$ca")
  osslsigncode verify "${roots[@]}" -in "$file" >"$log" 2>&1 ||
    fail "the signature of $(basename "$file") does not verify${ca:+ against '$ca'}$(_codesign_said "$log" 'Verify error: .*')"
}

codesign_end() {
  _codesign_password=
  [ -z "$_codesign_dir" ] || rm -rf -- "$_codesign_dir"
}
