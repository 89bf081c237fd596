# Sourced by the setup, test and demo scripts: whether and how this machine
# can execute 32-bit Windows programs under Wine, found out by running them.
#
#   kernel_runs_i386        status 0 when the kernel executes 32-bit x86 code
#   find_i386_way           sets I386_WAY: "native", "emulated (qemu-i386 V)",
#                           or empty with I386_REASON saying why neither;
#                           with EMULATE_I386=1, emulated even where native works
#   in_i386_way COMMAND...  runs the command where 32-bit programs run that way
#   probe_32bit_windows DIR sets PROBE_WOW64 and PROBE_WIN32: "yes", or why not
#
# The shipped programs are 32-bit. Where the kernel runs 32-bit x86 code,
# 32-bit Wine runs natively. Where it refuses, 32-bit Wine still runs under
# QEMU's user-mode emulator, to which a binfmt_misc instance private to a new
# user namespace sends every i386 program (scripts/i386-namespace.sh).
# EMULATE_I386=1 takes the emulated way even where the kernel runs 32-bit
# code, so that a machine of either kind can run the lanes that way.
# Either way the tests run the shipped programs in a 64-bit Windows prefix
# (under WoW64) and in a 32-bit one; where neither way works, the programs'
# x86_64 build stands in on a 64-bit prefix.

WINE32_LOADER=${WINE32_LOADER:-/usr/lib/wine/wine}
# Without a 32-bit Wine the probe program is handed to the 64-bit one, which
# says in its own words why it cannot run it.
WINE64_LOADER=${WINE64_LOADER:-/usr/lib/wine/wine64}
QEMU_I386=${QEMU_I386:-/usr/bin/qemu-i386}
UNSHARE=${UNSHARE:-unshare}
FRESH_ROOT=${FRESH_ROOT:-$(dirname "${BASH_SOURCE[0]}")/fresh-root.sh}
# A Wine start (or an emulator) that never returns must not hold up the run.
PROBE_TIMEOUT_S=${PROBE_TIMEOUT_S:-120}
_lanes_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
I386_WAY=
I386_REASON=

# A static i386 ELF made with binutils alone, so that this can be asked
# before anything 32-bit is installed. Prints its path, in a new folder.
_build_exit42() {
  local dir
  dir=$(mktemp -d)
  as --32 "$_lanes_dir/probe/exit42.s" -o "$dir/exit42.o" 2>/dev/null &&
    ld -m elf_i386 "$dir/exit42.o" -o "$dir/exit42" 2>/dev/null || {
    rm -rf "$dir"
    return 1
  }
  echo "$dir/exit42"
}

kernel_runs_i386() {
  local exe rc=0
  exe=$(_build_exit42) || return 1
  timeout 10 "$exe" >/dev/null 2>&1 || rc=$?
  rm -rf "$(dirname "$exe")"
  [ "$rc" -eq 42 ]
}

# What goes before a command to run it that way: nothing when native.
_i386_prefix() {
  I386_PREFIX=()
  [ "$I386_WAY" = native ] ||
    I386_PREFIX=("$UNSHARE" --user --map-root-user --mount --pid --fork --kill-child
      sh "$_lanes_dir/i386-namespace.sh" "$QEMU_I386")
}

in_i386_way() {
  _i386_prefix
  "${I386_PREFIX[@]}" "$@"
}

# The emulator's name and version as it gives them: "qemu-i386 10.0.2".
_emulator_version() {
  local said
  said=$(timeout 10 "$QEMU_I386" --version 2>/dev/null) || true
  sed -n '1s/^\(\S*\) version \(\S*\).*/\1 \2/p' <<<"$said"
}

emulation_asked() { [ "${EMULATE_I386:-}" = 1 ]; }

# Natively where the kernel runs 32-bit code (unless emulation is asked for),
# else under the emulator where the namespace, its binfmt_misc instance and
# the emulator run the i386 probe; believed only when it exits with the code
# it chose and the emulator traced that exit: where the kernel runs the probe
# itself, a status alone does not say who ran it.
find_i386_way() {
  I386_WAY= I386_REASON=
  if emulation_asked; then
    I386_REASON="the emulated way was asked for (EMULATE_I386=1)"
  elif kernel_runs_i386; then
    I386_WAY=native
    return
  else
    I386_REASON="this kernel does not execute 32-bit x86 programs (Exec format error)"
  fi
  if [ ! -x "$QEMU_I386" ]; then
    I386_REASON+="; no emulator at $QEMU_I386"
    return
  fi
  local exe out rc=0
  exe=$(_build_exit42) || {
    I386_REASON+="; the i386 probe did not build (binutils)"
    return
  }
  I386_WAY=emulated
  _i386_prefix
  # QEMU_STRACE: the emulator prints each system call, "PID exit(42)" last.
  out=$(QEMU_STRACE=1 timeout -k 5 "$PROBE_TIMEOUT_S" "${I386_PREFIX[@]}" "$exe" 2>&1 </dev/null) || rc=$?
  rm -rf "$(dirname "$exe")"
  if [ "$rc" -eq 42 ] && grep -q '^[0-9]* exit(42)' <<<"$out"; then
    I386_WAY="emulated ($(_emulator_version))"
    return
  fi
  I386_WAY=
  if [ "$rc" -eq 42 ]; then
    I386_REASON+="; the i386 probe ran in the namespace, but not under the emulator (it traced no exit)"
  elif [ "$rc" -eq 124 ] || [ "$rc" -eq 137 ]; then
    I386_REASON+="; under the emulator, the i386 probe did not end within ${PROBE_TIMEOUT_S} s"
  else
    out=$(grep -v '^$' <<<"$out" | tail -n 1 | cut -c 1-200)
    I386_REASON+="; under the emulator, the i386 probe ended with status $rc${out:+: $out}"
  fi
}

# Runs the 32-bit probe program with that loader in a prefix of that kind;
# prints "yes" when it ran and said what such a Windows must say, else why
# not, in Wine's words where it gave some.
_probe_prefix() {
  local kind=$1 exe=$2 loader=$3 prefix=$4 expected out rc=0
  [ "$kind" = win64 ] && expected="native=9 pointer=32" || expected="native=0 pointer=32"
  _i386_prefix
  out=$(WINEPREFIX=$prefix WINEARCH=$kind WINELOADER=$loader WINEDEBUG=-all \
    WINEDLLOVERRIDES="mscoree,mshtml=" timeout -k 5 "$PROBE_TIMEOUT_S" \
    "${I386_PREFIX[@]}" "$loader" "$exe" 2>&1 </dev/null) || rc=$?
  WINEPREFIX=$prefix timeout 10 /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
  local said
  said=$(tr -d '\r' <<<"$out" | grep -m1 '^native=' || true)
  if [ "$said" = "$expected" ]; then
    echo yes
  elif [ "$rc" -eq 124 ] || [ "$rc" -eq 137 ]; then
    echo "the 32-bit probe program did not end within ${PROBE_TIMEOUT_S} s"
  elif [ -n "$said" ]; then
    echo "the 32-bit probe program said '$said', not '$expected'"
  else
    said=$(tr -d '\r' <<<"$out" | grep -v '^$' | tail -n 1 | cut -c 1-160)
    echo "the 32-bit probe program did not run (exit status $rc${said:+: $said})"
  fi
}

# Finds the way 32-bit programs run, builds the 32-bit probe program and
# runs it that way in a new win64 and a new win32 prefix, under work_dir.
# Where there is no way, the probe program is still tried natively, and the
# reason says both.
probe_32bit_windows() {
  local work_dir=$1 loader=$WINE32_LOADER
  find_i386_way
  local way_reason=
  [ -n "$I386_WAY" ] || way_reason="$I386_REASON; "
  [ -x "$loader" ] || loader=$WINE64_LOADER
  mkdir -p "$work_dir"
  local exe=$work_dir/arch_probe.exe
  if [ ! "$exe" -nt "$_lanes_dir/probe/arch_probe.c" ] &&
    ! i686-w64-mingw32-gcc -O2 -s -o "$exe" "$_lanes_dir/probe/arch_probe.c" 2>"$work_dir/cc.log"; then
    PROBE_WOW64="${way_reason}the 32-bit probe program did not build: $(head -c 200 "$work_dir/cc.log")"
    PROBE_WIN32=$PROBE_WOW64
    return
  fi
  local kind result prefix
  for kind in win64 win32; do
    # A new prefix of its own: a demo and a test run may probe at once.
    prefix=$(mktemp -d "$work_dir/prefix-$kind.XXXXXX")
    rmdir "$prefix"
    result=$(I386_WAY=${I386_WAY:-native} _probe_prefix "$kind" "$exe" "$loader" "$prefix")
    rm -rf "$prefix"
    [ "$result" = yes ] || result="$way_reason$result"
    [ "$kind" = win64 ] && PROBE_WOW64=$result || PROBE_WIN32=$result
  done
}

# "Wine 10.0", as the loader says it of itself (run the lane's way).
wine_version() {
  local loader=$1 way=${2:-native} said
  said=$(I386_WAY=$way in_i386_way timeout -k 5 "$PROBE_TIMEOUT_S" "$loader" --version 2>/dev/null </dev/null) || true
  said=$(sed -n '1s/^wine-\([^ ]*\).*/Wine \1/p' <<<"$said")
  echo "${said:-Wine of unknown version (\"$loader --version\" said none)}"
}

# One lane: the Wine tests of a build preset in a session of its own prefix,
# the whole of it inside the way 32-bit programs run when the lane is i686.
#   run_lane NAME WAY PRESET PREFIX_KIND LOADER [ctest arguments]
# WAY is I386_WAY, or "" for a lane of 64-bit programs alone. Appends the
# lane's line to LANE_LINES and counts its runs and each failed test's
# failures; status 0 when every test passed. LANE_RUN numbers repeated runs.
LANE_LINES=()
LANE_TOTALS=(0 0 0)
LANE_RUN=1
declare -A LANE_RUNS=() LANE_FAILURES=()
run_lane() {
  local name=$1 way=$2 preset=$3 kind=$4 loader=$5
  shift 5
  local junit=$PWD/build/$preset/lane-results.xml rc=0 start=$SECONDS
  rm -f "$junit"
  local lane=(bash "$_lanes_dir/wine-lane.sh" "$PWD/build/$preset/prefix-$kind" "$kind" "$loader" \
    --preset "$preset" --output-junit "$junit" "$@")
  if [ -n "$way" ]; then
    I386_WAY=$way in_i386_way "${lane[@]}" || rc=$?
    name+=", $way"
  else
    "${lane[@]}" || rc=$?
  fi
  local took=$((SECONDS - start)) counts test
  name+=", $(wine_version "$loader" "$way")"
  LANE_RUNS[$name]=$((${LANE_RUNS[$name]:-0} + 1))
  if counts=$(python3 "$_lanes_dir/junit_counts.py" "$junit" 2>/dev/null); then
    local n=($counts)
    LANE_TOTALS=($((LANE_TOTALS[0] + n[0])) $((LANE_TOTALS[1] + n[2])) $((LANE_TOTALS[2] + n[4])))
    while read -r test; do
      [ -z "$test" ] || LANE_FAILURES[$name|$test]=$((${LANE_FAILURES[$name|$test]:-0} + 1))
    done < <(python3 "$_lanes_dir/junit_counts.py" --failed "$junit")
  else
    counts="no results (ctest exit status $rc)"
    [ "$rc" -ne 125 ] || counts="no results: its Wine session did not start (the reason is above)"
    LANE_FAILURES[$name|(the whole lane)]=$((${LANE_FAILURES[$name|(the whole lane)]:-0} + 1))
    [ "$rc" -ne 0 ] || rc=1
  fi
  local run=
  [ "$LANE_RUN" -eq 1 ] || run=", run $LANE_RUN"
  LANE_LINES+=("lane $name$run: ran in $((took / 60)) min $((took % 60)) s, $counts")
  return "$rc"
}

# A few end-to-end tests of each program: the installer's dialog and silent
# install, the deployer's dialog and silent course and its automation server.
EMULATED_PART_TESTS='^(InstallerInstall\.(InstallOnComPortThenDeleteRemovesEverything|SilentInstallCourse)|DeployerApp\.(InstallDeploysEveryTickedEditionAndClosesWithoutMessage|SilentInstallCourse)|DeployerAutomation\.CancelEscOrInstallEndTheServerAndCutTheClientOff)$'

# Where the i686 lanes ran natively, those tests once more under the
# emulator, so that its way is run whatever the machine; where they ran
# emulated already, nothing. A way that cannot be taken fails the run: it
# was asked for.
#   run_emulated_part NAME PREFIX_KIND LOADER [ctest arguments]
run_emulated_part() {
  local name=$1 kind=$2 loader=$3 I386_WAY=$I386_WAY I386_REASON=
  shift 3
  if [ "$I386_WAY" != native ]; then
    skip_lane "$name" "not needed: the i686 lanes ran emulated"
    return 0
  fi
  EMULATE_I386=1 find_i386_way
  if [ -z "$I386_WAY" ]; then
    skip_lane "$name" "$I386_REASON"
    return 1
  fi
  run_lane "$name" "$I386_WAY" wine-tests-i686 "$kind" "$loader" "$@" -R "$EMULATED_PART_TESTS"
}

# The lines of every lane, the tests of all lanes that ran, and where a lane
# ran more than once, how often each test that failed there did.
print_lanes() {
  echo
  printf '%s\n' "${LANE_LINES[@]}"
  echo "wine: ${LANE_TOTALS[0]} passed, ${LANE_TOTALS[1]} failed, ${LANE_TOTALS[2]} skipped"
  local key lane
  for key in "${!LANE_FAILURES[@]}"; do
    lane=${key%%|*}
    [ "${LANE_RUNS[$lane]}" -gt 1 ] || continue
    echo "flaky: ${key#*|} failed ${LANE_FAILURES[$key]} of ${LANE_RUNS[$lane]} (lane $lane)"
  done | sort
}

# The test command run in a fresh Debian root (scripts/fresh-root.sh):
# its lane lines join these, named by the root, and its counts the totals.
#   run_root_lanes RELEASE COMMAND...
run_root_lanes() {
  local release=$1 out rc=0 line counts=
  shift
  out=$(mktemp)
  bash "$FRESH_ROOT" "$release" "$@" | tee "$out" || rc=$?
  while IFS= read -r line; do
    LANE_LINES+=("${line%%: *}, Debian $release root: ${line#*: }")
  done < <(grep -E '^lane [^:]*: (ran in|did not run)' "$out")
  counts=$(sed -n 's/^wine: \([0-9]*\) passed, \([0-9]*\) failed, \([0-9]*\) skipped$/\1 \2 \3/p' "$out" | tail -n 1)
  rm -f "$out"
  if [ -n "$counts" ]; then
    local n=($counts)
    LANE_TOTALS=($((LANE_TOTALS[0] + n[0])) $((LANE_TOTALS[1] + n[1])) $((LANE_TOTALS[2] + n[2])))
  elif [ "$rc" -eq 75 ]; then
    # A mirror's fault alone fails no run: the lanes here have run.
    LANE_LINES+=("lane Debian $release root: did not run: the root could not be made (the mirror's or debootstrap's words are above)")
    return 0
  else
    LANE_LINES+=("lane Debian $release root: did not run its lanes (fresh-root.sh ended with status $rc)")
  fi
  return "$rc"
}

# A lane that could not run here, with the probe's reason.
skip_lane() {
  LANE_LINES+=("lane $1: did not run: $2")
}
