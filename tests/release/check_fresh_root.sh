#!/usr/bin/env bash
# Checks of scripts/fresh-root.sh with a stand-in debootstrap (a root of a
# few of the host's programs) and a stand-in mirror: a command runs in the
# root and the host keeps nothing mounted or running; the base is made once;
# a failing mirror or debootstrap says so in its own words and leaves
# nothing half-made; an interrupted base or run is noticed and done afresh.
set -euo pipefail
cd "$(dirname "$0")/../.."
if [ "$(id -u)" -ne 0 ] || ! unshare --mount --pid --fork true 2>/dev/null; then
  echo "fresh root checks: skipped (they need the real root user and mount namespaces)"
  exit 0
fi
# The runs' layers need a file system an overlay can write on, which an
# overlay is not (the suite itself may run in a fresh root): a tmpfs, in a
# mount namespace of this check's own.
if [ -z "${FRESH_CHECK_NAMESPACE:-}" ]; then
  exec unshare --mount --propagation private env FRESH_CHECK_NAMESPACE=1 bash "$0" "$@"
fi
work=$(mktemp -d)
mount -t tmpfs -o mode=700 fresh-check "$work"
trap 'umount -l "$work"; rm -rf -- "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
export FRESH_ROOT_CACHE=$work/cache FRESH_ROOT_RUNS=$work/runs
export DEBOOTSTRAP=$work/debootstrap WGET=$work/wget STANDIN_CALLS=$work/calls
export STANDIN_DATE="Sat, 01 Jan 2000 00:00:00 UTC"
: >"$STANDIN_CALLS"

cat >"$WGET" <<'EOF'
#!/usr/bin/env bash
[ -z "${STANDIN_MIRROR_DOWN:-}" ] || { echo "wget: unable to resolve host address 'mirror.invalid'" >&2; exit 4; }
printf 'Origin: Debian\nDate: %s\n' "$STANDIN_DATE"
EOF
cat >"$DEBOOTSTRAP" <<'EOF'
#!/usr/bin/env bash
# debootstrap --include=git SUITE TARGET MIRROR
set -eu
echo "$2" >>"$STANDIN_CALLS"
[ -z "${STANDIN_FAIL:-}" ] || { echo "E: Couldn't find these debs: git" >&2; exit 1; }
target=$3
mkdir -p "$target"/{usr/bin,usr/lib,usr/lib64,proc,sys,dev,etc,tmp,root}
for dir in bin lib lib64; do ln -s "usr/$dir" "$target/$dir"; done
echo "13.0 (stand-in)" >"$target/etc/debian_version"
for prog in sh env umount rmdir cat tr sleep touch; do
  real=$(readlink -f "$(command -v "$prog")")
  cp "$real" "$target/usr/bin/$prog"
  for lib in $(ldd "$real" | grep -o '/[^ ]*'); do
    mkdir -p "$target$(dirname "$lib")"
    cp -L "$lib" "$target$lib"
  done
done
EOF
# Stand-ins that pass through to the real programs unless told: rm cut short
# (the script killed) in the removal of the folder STANDIN_CUT_RM names, and
# mktemp pausing a run, once its folder is made, until STANDIN_PAUSE.go exists.
mkdir "$work/bin"
cat >"$work/bin/rm" <<'STANDIN'
#!/usr/bin/env bash
if [ -n "${STANDIN_CUT_RM:-}" ] && [ "$1" = -rf ] && [ "$2" = "$STANDIN_CUT_RM" ]; then
  /bin/rm -rf "$2/usr"
  kill -KILL "$PPID"
  exit 1
fi
exec /bin/rm "$@"
STANDIN
cat >"$work/bin/mktemp" <<'STANDIN'
#!/usr/bin/env bash
made=$(/usr/bin/mktemp "$@") || exit
echo "$made"
[[ $made == */debian*-run.* ]] || exit 0
echo "$made" >>"$STANDIN_RUNS_MADE"
[ -n "${STANDIN_PAUSE:-}" ] || exit 0
touch "$STANDIN_PAUSE.reached"
for _ in $(seq 600); do
  [ ! -e "$STANDIN_PAUSE.go" ] || exit 0
  sleep 0.1
done
STANDIN
export STANDIN_RUNS_MADE=$work/runs-made
chmod +x "$WGET" "$DEBOOTSTRAP" "$work/bin/rm" "$work/bin/mktemp"

fresh() { bash scripts/fresh-root.sh "$@" >"$work/out" 2>&1; }
said() { grep -q -- "$1" "$work/out"; }
made() { wc -l <"$STANDIN_CALLS"; }
nothing_left() {
  local mounts
  mounts=$(findmnt -rn -o TARGET | grep -F "$work/" || true)
  [ -z "$mounts" ] || fail "$1: still mounted on the host: $mounts"
  ! pgrep -f "fresh-check-$$" >/dev/null || fail "$1: a process of the run is still running"
}
# Waits (bounded) until the run's command has started in its root.
started() {
  for _ in $(seq 600); do
    ! compgen -G "$work/runs/*/upper/root/started" >/dev/null || return 0
    sleep 0.1
  done
  return 1
}
# Waits (bounded) until the file exists.
appears() {
  for _ in $(seq 600); do
    [ ! -e "$1" ] || return 0
    sleep 0.1
  done
  return 1
}
# Whether a child of the process waits for a lock.
waits_for_lock() {
  local waiting
  for waiting in $(awk '$2 == "->" {print $6}' /proc/locks); do
    [ "$(ps -o ppid= -p "$waiting" | tr -d ' ')" != "$1" ] || return 0
  done
  return 1
}
# Waits (bounded) until no process of the run is left.
ended() {
  for _ in $(seq 300); do
    pgrep -f "fresh-check-$$" >/dev/null || return 0
    sleep 0.1
  done
  return 1
}

# In the root as its root user, in the clone of this commit; its own /proc.
fresh 13 sh -c 'cat /etc/debian_version; pwd; cat /proc/1/cmdline | tr "\0" " "; echo' fresh-check-$$ ||
  fail "a run failed: $(tail -n 3 "$work/out")"
said '^13.0 (stand-in)$' || fail "the command did not run in the root"
said '^/root/clone$' || fail "the command did not run in the clone"
said '^sh .*root-namespace.sh' || fail "the root's first process is not its own"
said "^fresh-root: sh -c .* fresh-check-$$: status 0 in 0 min" || fail "no line with the command's status and time"
nothing_left "a run"
[ -z "$(ls "$work/runs" | grep -- -run.)" ] || fail "the run's root was left"
[ "$(made)" -eq 1 ] || fail "the base was made $(made) times"

# The next run takes the cached base; the command's status is the run's.
status=0
fresh 13 sh -c 'exit 3' || status=$?
[ "$status" -eq 3 ] || fail "a command's status 3 ended the run with $status"
said "cached" && [ "$(made)" -eq 1 ] || fail "the cached base was not taken"

# A base without its completion mark is made afresh.
rm "$work/cache/"debian13-*/.fresh-root-complete
fresh 13 sh -c : || fail "a run after an unfinished base failed: $(tail -n 3 "$work/out")"
said "removing an unfinished base" && [ "$(made)" -eq 2 ] || fail "an unfinished base was not made afresh"

# The mirror's and debootstrap's failures, in their words; nothing half-made.
status=0
STANDIN_MIRROR_DOWN=1 fresh 13 sh -c : || status=$?
[ "$status" -eq 75 ] || fail "a run without its mirror ended with $status, not 75"
said "index of trixie could not be fetched: wget: unable to resolve host address" || fail "the mirror's failure was not said"
status=0
STANDIN_DATE="Sun, 02 Jan 2000 00:00:00 UTC" STANDIN_FAIL=1 fresh 13 sh -c : || status=$?
[ "$status" -eq 75 ] || fail "a run whose debootstrap failed ended with $status, not 75"
said "debootstrap failed (status 1)" && said "^E: Couldn't find these debs: git" || fail "debootstrap's failure was not said"
! compgen -G "$work/cache/*.part*" >/dev/null || fail "debootstrap's failure left a part of a base"
[ "$(ls -d "$work/cache/"debian13-*/ | wc -l)" -eq 1 ] || fail "debootstrap's failure left a base"
nothing_left "a failed debootstrap"

# A run ended by a signal removes its root; one killed outright is noticed,
# and removed, by the next run. Either way nothing of it stays running.
for signal in TERM KILL; do
  bash scripts/fresh-root.sh 13 sh -c 'touch /root/started; sleep 600' fresh-check-$$ >"$work/out" 2>&1 &
  pid=$!
  started || fail "$signal: the run's command did not start"
  kill -"$signal" "$pid"
  wait "$pid" 2>/dev/null || true
  ended || fail "$signal: the run's processes were left running"
  nothing_left "a run ended by $signal"
  left=$(ls "$work/runs" | grep -c -- -run. || true)
  if [ "$signal" = TERM ]; then
    [ "$left" -eq 0 ] || fail "a run ended by TERM left its root"
  else
    fresh 13 sh -c : || fail "the run after a killed one failed: $(tail -n 3 "$work/out")"
    said "removing the root of an interrupted run" || fail "the killed run's root was not noticed"
    [ -z "$(ls "$work/runs" | grep -- -run.)" ] || fail "the killed run's root was left"
  fi
done

# A kept run's base stays while another clone's runs take a newer one, and
# goes once the kept run is gone.
fresh --keep 13 sh -c : || fail "a kept run failed: $(tail -n 3 "$work/out")"
kept=$(ls -d "$work/runs/"debian13-run.*)
STANDIN_DATE="Mon, 03 Jan 2000 00:00:00 UTC" FRESH_ROOT_RUNS=$work/other fresh 13 sh -c : ||
  fail "another clone's run failed: $(tail -n 3 "$work/out")"
fresh --in "$kept" cat /etc/debian_version && said '^13.0 (stand-in)$' || fail "the kept run lost its base"

# --in refuses a folder that is no kept run, and changes nothing in it: a
# scratch folder, the folder of all runs, a kept run without its base file.
mkdir -p "$work/scratch/sub" && touch "$work/scratch/file"
mv "$kept/base" "$work/kept-base"
for dir in "$kept" "$work/scratch" "$work/runs"; do
  before=$(find "$dir" | sort)
  ! fresh --in "$dir" true || fail "--in $dir was taken for a kept run"
  [ "$(find "$dir" 2>/dev/null | sort)" = "$before" ] || fail "--in $dir changed it: $(find "$dir" 2>/dev/null | sort)"
done
[ ! -d "$kept" ] || mv "$work/kept-base" "$kept/base"

# A root-namespace.sh that is not the first process of its own PID
# namespace refuses, and mounts and makes nothing (here in a mount and UTS
# namespace of its own, so that a fault could not reach the host).
for pid_namespace in "" "--pid --fork --kill-child"; do
  mkdir "$work/bare-run"
  # shellcheck disable=SC2086 # the options are words
  if unshare --mount --uts $pid_namespace sh -c 'sh scripts/root-namespace.sh "$@"; echo "status $?"' sh \
    "$(cat "$kept/base")" "$work/bare-run" true >"$work/out" 2>&1; then :; fi
  said "not the first process of a PID namespace of its own" && said "^status [1-9]" ||
    fail "root-namespace.sh ${pid_namespace:-without a PID namespace} did not refuse: $(tail -n 3 "$work/out")"
  [ -z "$(ls -A "$work/bare-run")" ] || fail "root-namespace.sh ${pid_namespace:-without a PID namespace} made $(ls -A "$work/bare-run")"
  rm -rf "$work/bare-run"
done
rm -rf "$kept"
STANDIN_DATE="Mon, 03 Jan 2000 00:00:00 UTC" FRESH_ROOT_RUNS=$work/other fresh 13 sh -c : &&
  [ "$(ls -d "$work/cache/"debian13-*/ | grep -vc '\.kept/$')" -eq 1 ] || fail "the base of a removed kept run stayed"

# An old base whose removal was cut short is made afresh by the next run
# with its key, never used half-removed.
old=$(ls -d "$work/cache/"debian13-*/ | grep -v '\.kept/$')
old=${old%/}
{ STANDIN_DATE="Tue, 04 Jan 2000 00:00:00 UTC" STANDIN_CUT_RM=$old PATH=$work/bin:$PATH fresh 13 sh -c : || true; } 2>/dev/null
[ -d "$old/etc" ] || fail "the stand-in rm did not cut the removal of $old short"
STANDIN_DATE="Mon, 03 Jan 2000 00:00:00 UTC" fresh 13 sh -c : && said "removing an unfinished base" ||
  fail "a half-removed base was taken: $(tail -n 3 "$work/out")"

# A run that starts while another is between making its folder and locking
# it leaves that folder be: the first is paused there until the second has
# made its own folder or waits for the first.
: >"$STANDIN_RUNS_MADE"
STANDIN_PAUSE=$work/pause PATH=$work/bin:$PATH bash scripts/fresh-root.sh 13 sh -c : >"$work/out" 2>&1 &
first=$!
appears "$work/pause.reached" || fail "the paused run did not reach its folder"
PATH=$work/bin:$PATH bash scripts/fresh-root.sh 13 sh -c : >"$work/out-second" 2>&1 &
second=$!
for _ in $(seq 600); do
  [ "$(wc -l <"$STANDIN_RUNS_MADE")" -lt 2 ] && ! waits_for_lock "$second" || break
  sleep 0.1
done
touch "$work/pause.go"
wait "$first" || fail "a run was swept away by one starting beside it: $(tail -n 3 "$work/out")"
wait "$second" || fail "the run beside another failed: $(tail -n 3 "$work/out-second")"

[ "$failures" -eq 0 ] || exit 1
echo "fresh root checks: all passed"
