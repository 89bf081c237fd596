# Sourced by the setup, test and demo scripts: whether this machine can
# execute 32-bit Windows programs under Wine, found out by running them.
#
#   kernel_runs_i386        status 0 when the kernel executes 32-bit x86 code
#   probe_32bit_windows DIR sets PROBE_WOW64 and PROBE_WIN32: "yes", or why not
#
# The shipped programs are 32-bit. Where they can run, the tests run them in
# a 64-bit Windows prefix (under WoW64) and in a 32-bit one; elsewhere the
# programs' x86_64 build stands in on a 64-bit prefix.

WINE32_LOADER=${WINE32_LOADER:-/usr/lib/wine/wine}
# Without a 32-bit Wine the probe program is handed to the 64-bit one, which
# says in its own words why it cannot run it.
WINE64_LOADER=${WINE64_LOADER:-/usr/lib/wine/wine64}
# A Wine start that never returns must not hold up the run.
PROBE_TIMEOUT_S=${PROBE_TIMEOUT_S:-120}
_lanes_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# A static i386 ELF made with binutils alone, so that this can be asked
# before anything 32-bit is installed.
kernel_runs_i386() {
  local dir
  dir=$(mktemp -d)
  as --32 "$_lanes_dir/probe/exit42.s" -o "$dir/exit42.o" 2>/dev/null &&
    ld -m elf_i386 "$dir/exit42.o" -o "$dir/exit42" 2>/dev/null || {
    rm -rf "$dir"
    return 1
  }
  local rc=0
  timeout 10 "$dir/exit42" >/dev/null 2>&1 || rc=$?
  rm -rf "$dir"
  [ "$rc" -eq 42 ]
}

# Runs the 32-bit probe program with that loader in a prefix of that kind;
# prints "yes" when it ran and said what such a Windows must say, else why
# not, in Wine's words where it gave some.
_probe_prefix() {
  local kind=$1 exe=$2 loader=$3 prefix=$4 expected out rc=0
  [ "$kind" = win64 ] && expected="native=9 pointer=32" || expected="native=0 pointer=32"
  out=$(WINEPREFIX=$prefix WINEARCH=$kind WINELOADER=$loader WINEDEBUG=-all \
    WINEDLLOVERRIDES="mscoree,mshtml=" timeout -k 5 "$PROBE_TIMEOUT_S" "$loader" "$exe" 2>&1 </dev/null) ||
    rc=$?
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

# Builds the 32-bit probe program and runs it in a new win64 and a new win32
# prefix, under work_dir. Where the kernel cannot execute 32-bit code, Wine
# cannot either; the reason says both.
probe_32bit_windows() {
  local work_dir=$1 kernel= loader=$WINE32_LOADER
  kernel_runs_i386 || kernel="this kernel does not execute 32-bit x86 programs (Exec format error); "
  [ -x "$loader" ] || loader=$WINE64_LOADER
  mkdir -p "$work_dir"
  local exe=$work_dir/arch_probe.exe
  if [ ! "$exe" -nt "$_lanes_dir/probe/arch_probe.c" ] &&
    ! i686-w64-mingw32-gcc -O2 -s -o "$exe" "$_lanes_dir/probe/arch_probe.c" 2>"$work_dir/cc.log"; then
    PROBE_WOW64="${kernel}the 32-bit probe program did not build: $(head -c 200 "$work_dir/cc.log")"
    PROBE_WIN32=$PROBE_WOW64
    return
  fi
  local kind result
  for kind in win64 win32; do
    rm -rf "$work_dir/prefix-$kind"
    result=$(_probe_prefix "$kind" "$exe" "$loader" "$work_dir/prefix-$kind")
    rm -rf "$work_dir/prefix-$kind"
    [ "$result" = yes ] || result="$kernel$result"
    [ "$kind" = win64 ] && PROBE_WOW64=$result || PROBE_WIN32=$result
  done
}

# One lane: the Wine tests of a build preset in a session of its own prefix.
#   run_lane NAME PRESET PREFIX_KIND LOADER [ctest arguments]
# Appends the lane's line to LANE_LINES; status 0 when every test passed.
LANE_LINES=()
LANE_TOTALS=(0 0 0)
run_lane() {
  local name=$1 preset=$2 kind=$3 loader=$4
  shift 4
  local junit=$PWD/build/$preset/lane-results.xml rc=0
  rm -f "$junit"
  (
    source scripts/wine-session.sh
    wine_session_start "$PWD/build/$preset/prefix-$kind" "$kind" "$loader"
    ctest --preset "$preset" --output-junit "$junit" "$@"
  ) || rc=$?
  local counts
  if counts=$(python3 "$_lanes_dir/junit_counts.py" "$junit" 2>/dev/null); then
    local n=($counts)
    LANE_TOTALS=($((LANE_TOTALS[0] + n[0])) $((LANE_TOTALS[1] + n[2])) $((LANE_TOTALS[2] + n[4])))
  else
    counts="no results (ctest exit status $rc)"
    [ "$rc" -ne 0 ] || rc=1
  fi
  LANE_LINES+=("lane $name: ran, $counts")
  return "$rc"
}

# The lines of every lane, then the tests of all lanes that ran.
print_lanes() {
  echo
  printf '%s\n' "${LANE_LINES[@]}"
  echo "wine: ${LANE_TOTALS[0]} passed, ${LANE_TOTALS[1]} failed, ${LANE_TOTALS[2]} skipped"
}

# A lane that could not run here, with the probe's reason.
skip_lane() {
  LANE_LINES+=("lane $1: did not run: $2")
}
