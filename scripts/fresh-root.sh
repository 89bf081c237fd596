#!/usr/bin/env bash
# A newcomer's run without a new machine: a fresh Debian 12 or 13 root made
# with debootstrap, a clone of the current commit in it, and the README's
# two commands run there (or the command given), as the root user, in
# namespaces of its own (scripts/root-namespace.sh). Prints each command's
# time and status, the demo's line and the lane lines.
#
#   fresh-root.sh [--keep] 12|13 [COMMAND...]
#   fresh-root.sh --in RUN_DIR [COMMAND...]
#
# Ends with the status of the first command that failed, else 0; with 75
# where the root could not be made (the mirror or debootstrap failed).
#
# The base root (debootstrap's alone, nothing of the project's) is kept in a
# cache folder under a key of the release, the mirror's date for it and the
# steps below that make it, so that the next run does not pay for debootstrap. Every run gets
# a new empty layer over it (build/roots/), removed afterwards (only a run
# an invocation made is ever removed by it); --keep keeps
# it to look into, or to run more in with --in. A base or a run that was
# interrupted has no completion mark: the next run removes it and starts
# afresh. Nothing stays mounted or running on the host: the root's mounts
# and processes belong to namespaces that end with each command.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/.." && pwd)
MIRROR=${FRESH_ROOT_MIRROR:-http://deb.debian.org/debian}
SECURITY_MIRROR=${FRESH_ROOT_SECURITY_MIRROR:-http://deb.debian.org/debian-security}
CACHE=${FRESH_ROOT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/marlo/roots}
DEBOOTSTRAP=${DEBOOTSTRAP:-debootstrap}
WGET=${WGET:-wget}
runs=${FRESH_ROOT_RUNS:-$top/build/roots}
complete_mark=.fresh-root-complete

say() { echo "fresh-root: $*"; }
die() {
  echo "fresh-root: $*" >&2
  exit 1
}
# The root could not be made (its mirror or debootstrap failed): its own
# status, so that the test command can tell that from a failed run in it.
mirror_fault() {
  echo "fresh-root: $*" >&2
  exit 75
}
took() { echo "$(($1 / 60)) min $(($1 % 60)) s"; }
usage() {
  echo "usage: fresh-root.sh [--keep] 12|13 [COMMAND...]" >&2
  echo "       fresh-root.sh --in RUN_DIR [COMMAND...]" >&2
  exit 2
}

# The mirror's signed index for the suite names the day it was made: a new
# point release makes a new base. Sets base_date.
mirror_date() {
  local index err
  err=$(mktemp)
  index=$("$WGET" -nv -O- "$MIRROR/dists/$suite/InRelease" 2>"$err") || {
    local said
    said=$(tail -n 1 "$err")
    rm -f "$err"
    mirror_fault "the mirror's index of $suite could not be fetched: $said"
  }
  rm -f "$err"
  base_date=$(sed -n 's/^Date: //p' <<<"$index" | head -n 1)
  [ -n "$base_date" ] || mirror_fault "the mirror's index of $suite ($MIRROR) has no date"
}

# Apt's sources as a new Debian machine has them: the release, its updates
# and its security suite.
write_sources() {
  rm -f "$1/etc/apt/sources.list"
  mkdir -p "$1/etc/apt/sources.list.d"
  printf 'Types: deb\nURIs: %s\nSuites: %s %s-updates\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n\nTypes: deb\nURIs: %s\nSuites: %s-security\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
    "$MIRROR" "$suite" "$suite" "$SECURITY_MIRROR" "$suite" >"$1/etc/apt/sources.list.d/debian.sources"
}

# debootstrap into a part folder, renamed into place once marked complete.
# It runs in a mount namespace of its own: what it mounts in the root ends
# with it, also when it or this script is interrupted. On failure it is debootstrap's own
# words that explain, and the part folder goes.
make_base() {
  local part=$base.part log=$base.part.log rc=0 start=$SECONDS
  rm -rf "$part" "$log"
  mkdir -p "$part"
  say "making the Debian $release base ($suite, $MIRROR) with debootstrap"
  setpriv --pdeathsig KILL unshare --mount --propagation private --pid --fork --kill-child \
    "$DEBOOTSTRAP" --include=git "$suite" "$part" "$MIRROR" >"$log" 2>&1 </dev/null || rc=$?
  if [ "$rc" -ne 0 ]; then
    {
      echo "fresh-root: debootstrap failed (status $rc):"
      grep '^E: ' "$log" || tail -n 3 "$log"
      [ ! -f "$part/debootstrap/debootstrap.log" ] || tail -n 3 "$part/debootstrap/debootstrap.log"
    } >&2
    rm -rf "$part" "$log"
    exit 75
  fi
  write_sources "$part"
  echo "$suite $MIRROR $base_date" >"$part/$complete_mark"
  mv "$part" "$base"
  rm -f "$log"
  base_made="made in $(took $((SECONDS - start)))"
}

# Finds or makes the base for the release; takes it for this run (a shared
# lock on fd 8, which every process of the run inherits). Old bases of the
# release that no run holds are removed.
take_base() {
  mirror_date
  local key
  key=$({
    printf '%s\n' "$suite" "$MIRROR" "$SECURITY_MIRROR" "$base_date"
    declare -f make_base write_sources
  } | sha256sum | cut -c 1-12)
  base=$CACHE/debian$release-$key
  mkdir -p "$CACHE"
  exec 7>"$CACHE/debian$release.making"
  flock 7
  if [ ! -f "$base/$complete_mark" ]; then
    [ ! -e "$base" ] || say "removing an unfinished base: $base"
    rm -rf "$base"
    make_base
  else
    base_made="cached (mirror's date $base_date)"
  fi
  exec 8>"$base.lock"
  flock -s 8
  local old
  for old in "$CACHE/debian$release"-*/; do
    old=${old%/}
    [ "$old" != "$base" ] && [ -d "$old" ] && [ "${old%.kept}" = "$old" ] || continue
    # A base that a run still holds, or a kept run (of any clone) was made
    # on, stays.
    kept_on "$old" || ! flock -xn "$old.lock" true 2>/dev/null || remove_base "$old"
  done
  exec 7>&-
}

# The mark goes first: a removal cut short leaves a base that the next run
# with its key sees as unfinished and makes afresh, never one it would use.
remove_base() {
  rm -f "$1/$complete_mark"
  rm -rf "$1" "$1.lock" "$1.log" "$1.kept"
}

# Whether a kept run still stands on the base: each is linked from the
# base's .kept folder when it is kept.
kept_on() {
  local link
  for link in "$1.kept"/*; do
    [ -L "$link" ] || continue
    [ -f "$link/kept" ] && return 0
    rm -f "$link"
  done
  return 1
}

# Runs that ended without their completion mark: nothing of them lives
# once no process holds their lock.
remove_interrupted_runs() {
  local dir
  for dir in "$runs"/*-run.*; do
    [ -d "$dir" ] && [ ! -f "$dir/kept" ] || continue
    if flock -xn "$dir/lock" true 2>/dev/null; then
      say "removing the root of an interrupted run: $dir"
      rm -rf "$dir"
    fi
  done
}

# One command in the root, timed, its output shown and kept in the log.
# The namespaces end with it. Appends to summary; status in rc_all.
run_in_root() {
  local start=$SECONDS rc=0 out
  out=$(mktemp)
  local what= word
  for word in "$@"; do
    [[ $word =~ ^[[:alnum:]_./=:,+-]+$ ]] || word=${word@Q}
    what+="${what:+ }$word"
  done
  say "[Debian $release] \$ $what"
  local shown tee_pid
  exec {shown}> >(tee -a "$log" "$out")
  tee_pid=$!
  # Ended with this script, even by a signal it cannot trap; the namespaces
  # end with it.
  setpriv --pdeathsig KILL unshare --mount --propagation private --pid --ipc --uts --fork --kill-child \
    sh "$here/root-namespace.sh" "$base" "$run" "$@" </dev/null >&"$shown" 2>&1 &
  child=$!
  exec {shown}>&-
  wait "$child" || rc=$?
  wait "$tee_pid" || true
  child=
  summary+=("$what: status $rc in $(took $((SECONDS - start)))")
  while IFS= read -r line; do summary+=("  $line"); done < <(grep -E '^(demo|setup|wine): |^lane [^:]*: (ran in|did not run)' "$out" | tr -d '\r')
  rm -f "$out"
  [ "$rc_all" -ne 0 ] || rc_all=$rc
}

# Ends what still runs, waits until no process of the run holds its lock
# (its namespaces are gone then), and removes the run unless it is kept.
# Only a run this invocation made is ever removed: never a folder named
# with --in, whatever it holds.
end_run() {
  [ -z "${child:-}" ] || kill -KILL "$child" 2>/dev/null || true
  [ -n "${made_run:-}" ] || return 0
  exec 9>&-
  if ! flock -w 60 "$run/lock" true; then
    say "a process of the run is still there after 60 s; $run stays, the next run removes it" >&2
  elif [ -n "$keep" ] && [ -f "$run/kept" ]; then
    :
  else
    rm -rf "$run"
  fi
}

keep= in=
case ${1:-} in
  --keep) keep=1 && shift ;;
  --in) [ $# -ge 2 ] || usage && in=$2 && keep=1 && shift 2 ;;
esac
[ "$(id -u)" -eq 0 ] || die "the root is made and entered by the real root user (packages are installed in it as root)"
command -v "$DEBOOTSTRAP" >/dev/null || {
  say "installing debootstrap"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap >/dev/null ||
    die "debootstrap could not be installed (apt's words above)"
}
summary=() rc_all=0 child= run= made_run=
trap end_run EXIT
trap "exit 130" INT
trap "exit 143" TERM
if [ -n "$in" ]; then
  run=$(cd "$in" && pwd) || die "no run folder $in"
  [ -f "$run/kept" ] && [ -f "$run/base" ] || die "$run is no kept run of fresh-root.sh"
  base=$(cat "$run/base") release=${base##*/debian} release=${release%%-*}
  [ -f "$base/$complete_mark" ] || die "the base of $run is gone ($base); make a new run"
  exec 8>"$base.lock" && flock -s 8
  exec 9>"$run/lock"
  flock -n 9 || die "$run is in use by another run"
  base_made="kept run $run"
else
  case ${1:-} in
    12) suite=bookworm ;;
    13) suite=trixie ;;
    *) usage ;;
  esac
  release=$1
  shift
  mkdir -p "$runs"
  # The sweep and the making of a run under one lock: a run is locked before
  # another run's sweep can see it.
  exec 6>"$runs/.sweep.lock"
  flock 6
  remove_interrupted_runs
  run=$(mktemp -d "$runs/debian$release-run.XXXXXX")
  made_run=1
  exec 9>"$run/lock"
  flock 9
  exec 6>&-
  take_base
  echo "$base" >"$run/base"
  commit=$(git -C "$top" rev-parse HEAD)
  [ -z "$(git -C "$top" status --porcelain)" ] || say "note: what is not committed stays out of the root"
  mkdir -p -m 700 "$run/upper/root"
  git clone -q --no-local "$top" "$run/upper/root/clone"
  git -C "$run/upper/root/clone" checkout -q --detach "$commit"
fi
log=$runs/debian$release.log
[ -n "$in" ] || : >"$log"

if [ $# -gt 0 ]; then
  run_in_root "$@"
else
  run_in_root bash scripts/demo.sh
  run_in_root bash scripts/test.sh
fi
if [ -n "$keep" ]; then
  touch "$run/kept"
  mkdir -p "$base.kept"
  ln -sfn "$run" "$base.kept/${run//\//_}"
fi

echo
say "Debian $release ($(cat "$base/$complete_mark")), commit $(git -C "$run/upper/root/clone" rev-parse --short HEAD 2>/dev/null); base $base_made"
printf 'fresh-root: %s\n' "${summary[@]}"
[ -z "$keep" ] || say "kept: $run (more there: scripts/fresh-root.sh --in $run COMMAND...)"
say "log: $log"
exit "$rc_all"
