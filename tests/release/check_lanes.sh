#!/usr/bin/env bash
# Checks of the 32-bit probe that decides the test lanes: it believes only
# what a 32-bit program it ran says, a Wine that never returns is ended by
# the bound, and a missing 32-bit Wine is a reason, not a crash. Stand-in
# loaders play Wine's part; the real probe runs in the test command. The
# runner of the test programs is checked the same way.
set -euo pipefail
cd "$(dirname "$0")/../.."
work=$(mktemp -d)
trap 'rm -rf -- "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# A loader that answers as the given Windows would, or hangs.
loader() {
  local name=$work/$1
  printf '#!/usr/bin/env bash\n%s\n' "$2" >"$name"
  chmod +x "$name"
  echo "$name"
}

expect_probe() {
  local what=$1 want64=$2 want32=$3
  PROBE_TIMEOUT_S=2 probe_32bit_windows "$work/probe"
  [[ $PROBE_WOW64 == $want64 ]] || fail "$what: win64 prefix said '$PROBE_WOW64', expected '$want64'"
  [[ $PROBE_WIN32 == $want32 ]] || fail "$what: win32 prefix said '$PROBE_WIN32', expected '$want32'"
}

source scripts/lanes.sh
# The loaders' checks run as on a kernel that executes 32-bit code; the ways
# to run it are checked further down.
kernel_runs_i386() { return 0; }

WINE32_LOADER=$(loader windows \
  '[ "$WINEARCH" = win64 ] && echo "native=9 pointer=32" || echo "native=0 pointer=32"')
expect_probe "a working 32-bit Wine" yes yes

WINE32_LOADER=$(loader only64 \
  '[ "$WINEARCH" = win64 ] && echo "native=9 pointer=32" || { echo "no 32-bit prefix here" >&2; exit 1; }')
expect_probe "a WoW64-only Wine" yes "*did not run (exit status 1: no 32-bit prefix here)"

# A 64-bit program answering is no proof that 32-bit code runs.
WINE32_LOADER=$(loader pointer64 'echo "native=9 pointer=64"')
expect_probe "a loader that ran 64-bit code" \
  "*said 'native=9 pointer=64', not 'native=9 pointer=32'" "*said 'native=9 pointer=64', not 'native=0 pointer=32'"

start=$(date +%s)
WINE32_LOADER=$(loader hangs 'sleep 600')
expect_probe "a Wine that never returns" "*did not end within 2 s" "*did not end within 2 s"
[ $(($(date +%s) - start)) -lt 30 ] || fail "the probe's bound did not hold"

# No 32-bit Wine at all: the 64-bit one is asked, and its refusal is the reason.
WINE32_LOADER=$work/missing
WINE64_LOADER=$(loader wine64 'echo "Bad EXE format for $1." >&2; exit 1')
expect_probe "no 32-bit Wine" "*did not run (exit status 1: Bad EXE format for*" "*did not run (exit status 1: Bad EXE format for*"

# The lane line names the Wine that ran it, as its loader says.
expect_version() {
  local said
  said=$(wine_version "$(loader version "$2")")
  [[ $said == $3 ]] || fail "$1: the lane's Wine read '$said', expected '$3'"
}
expect_version "Debian's Wine 10" 'echo "wine-10.0 (Debian 10.0~repack-6)"' "Wine 10.0"
expect_version "a loader that gives no version" 'exit 1' "Wine of unknown version (*said none)"

# A fresh root's lanes join this machine's, named by the root, and count.
LANE_LINES=() LANE_TOTALS=(1 0 0)
FRESH_ROOT=$(loader fresh-root 'printf "lane probe checks: all passed\nlane i686, win64 prefix, native, Wine 10.0: ran in 1 min 0 s, 3 passed, 1 failed, 0 skipped\nwine: 3 passed, 1 failed, 0 skipped\n"; exit 1')
run_root_lanes 13 bash scripts/test.sh >/dev/null && fail "a root whose test command failed counted as passed"
[ "${LANE_LINES[*]}" = "lane i686, win64 prefix, native, Wine 10.0, Debian 13 root: ran in 1 min 0 s, 3 passed, 1 failed, 0 skipped" ] ||
  fail "the root's lane line read '${LANE_LINES[*]}'"
[ "${LANE_TOTALS[*]}" = "4 1 0" ] || fail "the root's counts made the totals '${LANE_TOTALS[*]}'"
LANE_LINES=()
FRESH_ROOT=$(loader fresh-root 'echo "fresh-root: debootstrap failed (status 1):"; exit 1')
run_root_lanes 12 bash scripts/test.sh >/dev/null && fail "a root that was not made counted as passed"
[ "${LANE_LINES[*]}" = "lane Debian 12 root: did not run its lanes (fresh-root.sh ended with status 1)" ] ||
  fail "a root that was not made read '${LANE_LINES[*]}'"
LANE_LINES=() LANE_TOTALS=(0 0 0)

# Where the kernel refuses 32-bit code, the emulator is the way, believed
# only when the i386 probe ran under it and exited with its own code.
kernel_runs_i386() { return 1; }
expect_way() {
  local what=$1 want_way=$2 want_reason=$3
  PROBE_TIMEOUT_S=2 find_i386_way
  [[ $I386_WAY == $want_way ]] || fail "$what: the way was '$I386_WAY', expected '$want_way'"
  [[ $I386_REASON == $want_reason ]] || fail "$what: the reason was '$I386_REASON', expected '$want_reason'"
}
refused="this kernel does not execute 32-bit x86 programs (Exec format error); under the emulator, the i386 probe ended"
QEMU_I386=$work/missing expect_way "no emulator" "" "*; no emulator at $work/missing"
kernel_runs_i386() { return 0; }
asked="the emulated way was asked for (EMULATE_I386=1)"
EMULATE_I386=1 QEMU_I386=$work/missing expect_way "emulation asked for, no emulator" "" "$asked; no emulator at $work/missing"
EMULATE_I386=0 expect_way "emulation not asked for" native ""

# The part of the tests run emulated where the lanes ran natively: never on
# the native way, and a way that cannot be taken fails the run.
expect_part() {
  local what=$1 way=$2 want_status=$3 want=$4 said status=0
  LANE_LINES=()
  said=$(
    run_lane() { echo "ran $2 $*"; }
    I386_WAY=$way run_emulated_part "part" win32 loader32 -j2 || exit
    printf '%s\n' "${LANE_LINES[@]}"
  ) || status=$?
  [ "$status" -eq "$want_status" ] || fail "$what: status $status, expected $want_status"
  [[ $said == $want ]] || fail "$what: said '$said', expected '$want'"
}
expect_part "lanes that ran emulated" "emulated (qemu-i386 10.0.2)" 0 "lane part: did not run: not needed: the i686 lanes ran emulated"
QEMU_I386=$work/missing expect_part "no emulator for the part" native 1 ""
kernel_runs_i386() { return 1; }
# A kernel before 6.7, or one that allows no user namespace: the system's
# own words are the reason.
QEMU_I386=$(loader qemu 'exit 42')
UNSHARE=$(loader unshare 'echo "unshare: unshare failed: Operation not permitted" >&2; exit 1') \
  expect_way "no user namespace" "" "$refused with status 1: unshare: unshare failed: Operation not permitted"
UNSHARE=$(loader unshare 'echo "mount: /proc/sys/fs/binfmt_misc: permission denied." >&2; exit 32') \
  expect_way "no binfmt_misc of its own" "" "$refused with status 32: mount: /proc/sys/fs/binfmt_misc: permission denied."

# The emulator in the real namespace, where this machine gives one: one that
# runs the probe, one that crashes and one that never returns. Nothing may
# stay registered on the host, nor running.
if unshare --user --map-root-user --mount --pid --fork --kill-child true 2>/dev/null; then
  tracing='[ -z "$QEMU_STRACE" ] || echo "$$ exit(42)" >&2; exit 42'
  working=$(loader qemu-works '[ "$1" = --version ] && echo "qemu-i386 version 9.9.9 (stand-in)"; '"$tracing")
  QEMU_I386=$working expect_way "a working emulator" "emulated (qemu-i386 9.9.9)" "*"
  # Where the kernel runs 32-bit code, only the emulator's trace shows that
  # it, not the kernel, ran the probe.
  kernel_runs_i386() { return 0; }
  EMULATE_I386=1 QEMU_I386=$working expect_way "emulation asked for" "emulated (qemu-i386 9.9.9)" "$asked"
  EMULATE_I386=1 QEMU_I386=$(loader qemu-untraced 'exit 42') \
    expect_way "a probe the emulator did not run" "" "$asked; the i386 probe ran in the namespace, but not under the emulator (it traced no exit)"
  QEMU_I386=$working expect_part "the part where the lanes ran natively" native 0 \
    "ran emulated (qemu-i386 9.9.9) part emulated (qemu-i386 9.9.9) wine-tests-i686 win32 loader32 -j2 -R ^(Installer*|Deployer*)\$"
  kernel_runs_i386() { return 1; }
  QEMU_I386=$(loader qemu 'kill -SEGV $$') expect_way "a crashing emulator" "" "$refused with status 139*"
  start=$(date +%s)
  QEMU_I386=$(loader qemu-hangs 'sleep 600') expect_way "an emulator that never returns" "" "*did not end within 2 s"
  [ $(($(date +%s) - start)) -lt 30 ] || fail "the emulator probe's bound did not hold"
  ! pgrep -f "$work/qemu-hangs" >/dev/null || fail "the emulator that never returns was left running"
  [ ! -e /proc/sys/fs/binfmt_misc/qemu-i386 ] || fail "an emulator is registered on the host"
else
  echo "lane probe checks: no user namespace here; the emulator was checked with stand-ins only"
fi

# The test programs' runner: a program that failed having written nothing
# was never started and gets one more start; any other outcome stands.
# Each stand-in counts its starts in a file and fails silently on the first.
expect_runner() {
  local what=$1 body=$2 want_status=$3 want_starts=$4 status=0
  rm -f "$work/starts"
  WINELOADER=$(loader runner "echo >>'$work/starts'; starts=\$(wc -l <'$work/starts'); $body") \
    scripts/wine test.exe >/dev/null 2>&1 || status=$?
  [ "$status" -eq "$want_status" ] || fail "$what: status $status, expected $want_status"
  [ "$(wc -l <"$work/starts")" -eq "$want_starts" ] || fail "$what: $(wc -l <"$work/starts") starts, expected $want_starts"
}
expect_runner "a pass" 'echo ok' 0 1
expect_runner "a failing test" 'echo "[  FAILED  ]"; exit 1' 1 1
expect_runner "a failed start, then a pass" '[ "$starts" -gt 1 ] && echo ok || exit 5' 0 2
expect_runner "two failed starts" 'exit 5' 5 2
expect_runner "a silent failure with only an error message" 'echo "wine: error" >&2; exit 3' 3 2

# A script that starts Wine runs itself again, with its arguments, without
# address randomization; where the kernel refuses, it goes on and says so.
printf 'source %q "$0" "$@"\necho "$* $(cat /proc/self/personality)"\n' "$PWD/scripts/fixed-layout.sh" >"$work/layout.sh"
expect_layout() {
  local what=$1 want=$2 said
  said=$(python3 -c 'import ctypes, os, sys; ctypes.CDLL(None).personality(0); os.execvp("env", sys.argv)' \
    "${@:3}" bash "$work/layout.sh" a "b c" 2>&1)
  [[ $said == $want ]] || fail "$what: said '$said', expected '$want'"
}
refused="fixed-layout: address randomization stays on here (setarch -R refused)*"$'\n'"a b c 00000000"
setarch "$(uname -m)" -R true 2>/dev/null && fixed="a b c 00040000" || fixed=$refused
expect_layout "randomization on" "$fixed"
expect_layout "setarch refused" "$refused" SETARCH=false

# A prefix remembers the Wine that made it: the same Wine keeps it, another
# makes it anew. A session that cannot start a program in its prefix says
# which step failed, with Wine's status and words, and its lane says so.
server=$(loader wineserver '[ "$1" != --version ] || echo "Wine $FAKE_VERSION"')
LOADER64=$(loader wine64 '
case "$1 ${2:-}" in
"wineboot -i") mkdir -p "$WINEPREFIX" && echo made >>"$WINEPREFIX.made" ;;
"reg query") [ -z "${FAKE_BROKEN:-}" ] || { echo "err:module:LdrInitializeThunk could not load kernel32.dll, status c0000135" >&2; exit 53; } ;;
esac')
expect_session() {
  local what=$1 version=$2 made=$3 broken=${4:-} said rc=0
  said=$(DISPLAY=:0 WINE64=$LOADER64 WINESERVER=$server FAKE_VERSION=$version FAKE_BROKEN=$broken \
    bash scripts/wine-lane.sh "$work/session/prefix" win64 "$LOADER64" --version 2>&1) || rc=$?
  [ "$(grep -c made "$work/session/prefix.made" 2>/dev/null)" = "$made" ] || fail "$what: prefix made $(grep -c made "$work/session/prefix.made") times, expected $made"
  if [ -n "$broken" ]; then
    [ "$rc" -eq 125 ] || fail "$what: the lane ended with $rc, expected 125"
    [[ $said == *"starting a program in the prefix"*"status 53"*"status c0000135"* ]] || fail "$what: said '$said'"
  else
    [ "$rc" -eq 0 ] || fail "$what: the lane ended with $rc: $said"
  fi
}
expect_session "a new prefix" 8.0 1
expect_session "the same Wine" 8.0 1
expect_session "another Wine" 10.0 2
expect_session "a prefix programs cannot start in" 10.0 2 broken

# The setup's 32-bit install asks for what apt names as not installable, in
# apt's words as a mirror out of step made it say them.
source scripts/multiarch.sh
said=' libcups2 : Depends: libavahi-client3 (>= 0.6.16) but it is not going to be installed
 libwine:i386 : Depends: libgstreamer-plugins-base1.0-0:i386 (>= 1.0.0) but it is not going to be installed
 libdw1:i386 : Depends: liblzma5:i386 (>= 5.1.1alpha+20120614) but it is not going to be installed
               Depends: zlib1g:i386 (>= 1:1.2.2.3) but 1:1.2.13.dfsg-1 is to be installed
               Recommends: libfoo:i386 but it is not going to be installed
E: Error, pkgProblemResolver::Resolve generated breaks, this may be caused by held packages.'
unmet=$(unmet_i386 <<<"$said" | tr '\n' ' ')
[ "$unmet" = "libgstreamer-plugins-base1.0-0:i386 liblzma5:i386 zlib1g:i386 " ] || fail "apt's unmet 32-bit packages read as '$unmet'"

[ "$failures" -eq 0 ] || exit 1
echo "lane probe checks: all passed"
