#!/usr/bin/env bash
# Checks of the setup's apt steps (scripts/setup.sh, scripts/multiarch.sh)
# with stand-ins first on PATH for apt-get, apt-cache, dpkg, dpkg-query and
# sudo, run as an ordinary user through a sudo that resets the environment
# as Debian's does. Each case is one answer of apt's to installing the
# 32-bit half on a machine that has everything else: what setup ends with,
# what it says, and how it asked apt to install.
set -euo pipefail
cd "$(dirname "$0")/../.."
work=$(mktemp -d)
trap 'rm -rf -- "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
# A copy the ordinary user can read (the clone may be in root's home).
chmod 755 "$work"
cp -r scripts "$work/scripts"
mkdir "$work/bin"
touch "$work/apt-calls" "$work/case"
chmod 666 "$work/apt-calls"

stand_in() {
  cat >"$work/bin/$1"
  chmod 755 "$work/bin/$1"
}
stand_in sudo <<'STANDIN'
#!/usr/bin/env bash
vars=()
while [[ $1 == *=* ]]; do vars+=("$1") && shift; done
exec env -i PATH="$PATH" HOME=/root "${vars[@]}" "$@"
STANDIN
# Everything installed but wine32:i386; libbar1's 64-bit half is newer than
# the release's.
stand_in dpkg-query <<'STANDIN'
#!/usr/bin/env bash
case ${!#} in
  wine32:i386) exit 1 ;;
  libbar1:amd64) echo "install ok installed 1.0-2" ;;
  *) echo "install ok installed 1:10.0" ;;
esac
STANDIN
stand_in dpkg <<'STANDIN'
#!/usr/bin/env bash
[ "$1" != --print-foreign-architectures ] || { echo i386; exit 0; }
exec /usr/bin/dpkg "$@"
STANDIN
stand_in apt-cache <<'STANDIN'
#!/usr/bin/env bash
echo "  Candidate: 1.0-1"
STANDIN
# The plain install fails as the case says; from the release, apt is
# satisfied once libbar1's 64-bit half is asked for at its partner's version.
stand_in apt-get <<'STANDIN'
#!/usr/bin/env bash
work=$(dirname "$0")/..
echo "${DEBIAN_FRONTEND:-unset} $*" >>"$work/apt-calls"
[ "$1" != update ] || exit 0
case=$(cat "$work/case")
unmet() {
  printf '%s\n' "The following packages have unmet dependencies:" \
    " wine32:i386 : Depends: libbar1:i386 (= 1.0-1) but it is not going to be installed" \
    "E: Unable to correct problems, you have held broken packages."
  exit 100
}
if [[ " $* " != *" -t "* ]]; then
  case $case in
    lock) echo "E: Could not get lock /var/lib/dpkg/lock-frontend. It is held by process 4242 (unattended-upgr)" && exit 100 ;;
    nothing) echo "E: Unable to locate package wine32:i386" && exit 100 ;;
    *) unmet ;;
  esac
fi
[ "$case" != unsolvable ] && [[ " $* " == *" libbar1:amd64=1.0-1 "* ]] || unmet
if [[ " $* " == *" -s "* ]]; then
  echo "Inst libbar1:amd64 [1.0-2] (1.0-1 Debian:12.0/stable [amd64])"
  echo "Inst libbar1:i386 (1.0-1 Debian:12.0/stable [i386])"
  [ "$case" != removal ] || echo "Remv libbaz1:amd64 [2.0]"
  echo "Inst wine32:i386 (8.0 Debian:12.0/stable [i386])"
  exit 0
fi
[ "$case" != dpkg-fails ] || { echo "E: Sub-process /usr/bin/dpkg returned an error code (1)" && exit 100; }
STANDIN

as_user=()
[ "$(id -u)" -ne 0 ] || as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
# case | SETUP_ALLOW_DOWNGRADES | setup's status (0, or fails) | what it says |
# the install from the release (none, or its options)
while IFS='|' read -r case allow status words release_install; do
  echo "$case" >"$work/case"
  : >"$work/apt-calls"
  rc=0
  "${as_user[@]}" env HOME="$work" PATH="$work/bin:$PATH" MULTIARCH_RELEASE=testrel SETUP_ALLOW_DOWNGRADES="$allow" \
    bash "$work/scripts/setup.sh" >"$work/out" 2>&1 || rc=$?
  if [ "$status" = 0 ]; then
    [ "$rc" -eq 0 ] || fail "$case: setup ended with $rc: $(tail -n 3 "$work/out")"
  else
    [ "$rc" -ne 0 ] || fail "$case: setup ended with 0: $(tail -n 3 "$work/out")"
  fi
  grep -qE -- "$words" "$work/out" || fail "$case: setup did not say '$words': $(cat "$work/out")"
  installs=$(grep -v ' -s ' "$work/apt-calls" | grep ' install ' || true)
  from_release=$(grep -- ' -t testrel ' <<<"$installs" || true)
  if [ "$release_install" = none ]; then
    [ -z "$from_release" ] || fail "$case: installed from the release: $from_release"
  else
    grep -qE -- "$release_install" <<<"$from_release" || fail "$case: no install from the release with $release_install: $installs"
  fi
  ! grep -v '^noninteractive ' <<<"$installs" | grep -q . ||
    fail "$case: apt installed with another front end: $(grep -v '^noninteractive ' <<<"$installs")"
done <<'EOF'
lock|1|fails|^E: Could not get lock /var/lib/dpkg/lock-frontend|none
nothing||0|^E: Unable to locate package wine32:i386|none
unsolvable||0|not even from testrel alone: E: Unable to correct problems|none
downgrade||fails|^setup:   libbar1:amd64 1.0-2 -> 1.0-1$|none
downgrade||fails|To allow it: SETUP_ALLOW_DOWNGRADES=1 bash scripts/setup.sh|none
downgrade|1|0|downgraded: libbar1:amd64 1.0-2 -> 1.0-1|--no-remove.* --allow-downgrades .*libbar1:amd64=1.0-1
removal|1|fails|^setup:   libbaz1:amd64 2.0$|none
dpkg-fails|1|fails|^E: Sub-process /usr/bin/dpkg returned an error code \(1\)|--no-remove
EOF

[ "$failures" -eq 0 ] || exit 1
echo "setup checks: all passed"
