# Sourced by the setup: installs a 32-bit package where the package lists
# are out of step between the two architectures.
#
#   as_root COMMAND...                 runs it as root, apt never asking
#   install_both_halves PACKAGE:i386   installs it; prints one line saying how
#
# install_both_halves ends with 0 when installed, 1 when apt found no way to
# install it (its words shown), and 2 on any other failure (a held lock, a
# failed download, dpkg failing, a downgrade not allowed, a removal): apt's
# words or the reason are shown then too.
#
# Both halves of a multi-arch library must have one version. A mirror can
# serve one architecture's list of a suite out of step with its signed index
# (seen: the security suite's i386 list), so that apt has no 32-bit list of
# that suite: the 64-bit halves installed at its versions then have no 32-bit
# partner, and apt's resolver gives up. The release's own lists have both
# halves at one version. So where the plain install fails on exactly that,
# the package is taken from the release, and every library apt names as not
# installable is asked for by name, its 64-bit half at the version its
# 32-bit half has there. apt itself names them, round after round; no list
# is written here. Bringing a 64-bit half back is a downgrade, which can undo
# a security update: it is done only where SETUP_ALLOW_DOWNGRADES=1 asks for
# it, each one named first. Nothing is ever removed.

# Debian's sudo resets the environment: the front end is passed on by name,
# else apt asks its questions where nobody sees them, and so is the locale
# whose words are read here.
as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    DEBIAN_FRONTEND=noninteractive "$@"
  else
    sudo DEBIAN_FRONTEND=noninteractive ${LC_ALL:+"LC_ALL=$LC_ALL"} "$@"
  fi
}

# Whether apt's words say it found no way to install what was asked, as
# opposed to failing to do what it found.
apt_found_no_solution() {
  grep -qE 'unmet dependencies|Unable to correct problems|Unable to locate package|has no installation candidate' <<<"$1"
}

# Empty for a package dpkg has never heard of, which dpkg-query reports as an
# error: on a fresh machine that is most of them.
installed_version() {
  { dpkg-query -W -f='${Status} ${Version}' "$1" 2>/dev/null || true; } | sed -n 's/^install ok installed //p'
}

# The 32-bit packages apt says it cannot install, from its words.
unmet_i386() {
  grep -oP 'Depends: \K\S+:i386(?= .*but (it is not going to be installed|\S+ is to be installed))' | sort -u
}

# The version apt would take from the release.
release_candidate() {
  LC_ALL=C apt-cache -t "$MULTIARCH_RELEASE" policy "$1" 2>/dev/null | sed -n 's/^ *Candidate: //p' | grep -vx '(none)'
}

# Adds to MULTIARCH_ASK what the named 32-bit package needs: itself, and its
# 64-bit half at the same version where that is installed at another.
_ask_for() {
  local name=${1%:i386} want have
  MULTIARCH_ASK+=("$1")
  want=$(release_candidate "$1") || return 0
  have=$(installed_version "$name:amd64")
  [ -n "$have" ] && [ "$have" != "$want" ] || return 0
  MULTIARCH_ASK+=("$name:amd64=$want")
}

# From apt's simulation: "NAME OLD -> NEW" for each package it would bring
# to a lower version, and "NAME VERSION" for each it would remove.
_downgrades() {
  local name old new
  sed -n 's/^Inst \(\S*\) \[\(\S*\)\] (\(\S*\) .*/\1 \2 \3/p' <<<"$1" | while read -r name old new; do
    ! dpkg --compare-versions "$new" lt "$old" || echo "$name $old -> $new"
  done
}
_removals() { sed -n 's/^Remv \(\S*\) \[\(\S*\)\].*/\1 \2/p' <<<"$1"; }

install_both_halves() {
  local package=$1 said
  local apt=(as_root apt-get install -y -qq --no-install-recommends --no-remove)
  if said=$(LC_ALL=C "${apt[@]}" "$package" 2>&1); then
    echo "setup: $package installed"
    return
  fi
  if ! grep -q 'unmet dependencies' <<<"$said" || [ -z "$(unmet_i386 <<<"$said")" ]; then
    echo "setup: $package could not be installed; apt said:" >&2
    echo "$said" >&2
    apt_found_no_solution "$said" && return 1
    return 2
  fi
  MULTIARCH_RELEASE=${MULTIARCH_RELEASE:-$(. /etc/os-release && echo "$VERSION_CODENAME")}
  MULTIARCH_ASK=("$package")
  local from_release=(-t "$MULTIARCH_RELEASE" --allow-downgrades) round unmet p solved=
  for round in $(seq 20); do
    said=$(LC_ALL=C apt-get install -s --no-install-recommends "${from_release[@]}" "${MULTIARCH_ASK[@]}" 2>&1) && solved=1 && break
    unmet=$(unmet_i386 <<<"$said")
    local before=${#MULTIARCH_ASK[@]}
    for p in $unmet; do
      [[ " ${MULTIARCH_ASK[*]} " == *" $p "* ]] || _ask_for "$p"
    done
    [ "${#MULTIARCH_ASK[@]}" -ne "$before" ] || break
  done
  if [ -z "$solved" ]; then
    echo "setup: $package cannot be installed, not even from $MULTIARCH_RELEASE alone: $(grep '^E:' <<<"$said" | head -n 1)" >&2
    apt_found_no_solution "$said" && return 1
    return 2
  fi
  local removals downgrades
  removals=$(_removals "$said")
  if [ -n "$removals" ]; then
    echo "setup: $package from $MULTIARCH_RELEASE's own lists would remove packages; nothing was changed:" >&2
    sed 's/^/setup:   /' <<<"$removals" >&2
    return 2
  fi
  downgrades=$(_downgrades "$said")
  if [ -n "$downgrades" ]; then
    {
      echo "setup: $package needs both halves of each library at one version, and the 32-bit halves have older versions in $MULTIARCH_RELEASE's own lists than the 64-bit halves installed here (a mirror served a newer suite's i386 list out of step). These would be downgraded, which can undo a security update:"
      sed 's/^/setup:   /' <<<"$downgrades"
    } >&2
    if [ "${SETUP_ALLOW_DOWNGRADES:-}" != 1 ]; then
      echo "setup: nothing was changed. To allow it: SETUP_ALLOW_DOWNGRADES=1 bash scripts/setup.sh" >&2
      return 2
    fi
    echo "setup: downgrading them, as SETUP_ALLOW_DOWNGRADES=1 asks" >&2
    apt+=(--allow-downgrades)
  fi
  said=$(LC_ALL=C "${apt[@]}" -t "$MULTIARCH_RELEASE" "${MULTIARCH_ASK[@]}" 2>&1) || {
    echo "setup: $package could not be installed from $MULTIARCH_RELEASE; apt said:" >&2
    echo "$said" >&2
    return 2
  }
  local changed=
  [ -z "$downgrades" ] || changed=", downgraded: $(paste -sd, <<<"$downgrades" | sed 's/,/, /g')"
  echo "setup: $package installed from $MULTIARCH_RELEASE's own lists, both halves of each library at one version$changed"
}
