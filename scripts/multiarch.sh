# Sourced by the setup: installs a 32-bit package where the package lists
# are out of step between the two architectures.
#
#   install_both_halves PACKAGE:i386   installs it; prints one line saying how
#
# Both halves of a multi-arch library must have one version. A mirror can
# serve one architecture's list of a suite out of step with its signed index
# (seen: the security suite's i386 list), so that apt has no 32-bit list of
# that suite: the 64-bit halves installed at its versions then have no 32-bit
# partner, and apt's resolver gives up. The release's own lists have both
# halves at one version. So where the plain install fails, the package is
# taken from the release, and every library apt names as not installable is
# asked for by name, its 64-bit half brought to the version its 32-bit half
# has there. apt itself names them, round after round; no list is written
# here.

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
# MULTIARCH_CHANGED collects "NAME FROM -> TO" for the line.
_ask_for() {
  local name=${1%:i386} want have
  MULTIARCH_ASK+=("$1")
  want=$(release_candidate "$1") || return 0
  have=$(installed_version "$name:amd64")
  [ -n "$have" ] && [ "$have" != "$want" ] || return 0
  MULTIARCH_ASK+=("$name:amd64=$want")
  MULTIARCH_CHANGED+=("$name:amd64 $have -> $want")
}

install_both_halves() {
  local package=$1 said
  local apt=(apt-get install -y -qq --no-install-recommends)
  [ "$(id -u)" -eq 0 ] || apt=(sudo "${apt[@]}")
  if said=$("${apt[@]}" "$package" 2>&1 >/dev/null); then
    echo "setup: $package installed"
    return
  fi
  MULTIARCH_RELEASE=${MULTIARCH_RELEASE:-$(. /etc/os-release && echo "$VERSION_CODENAME")}
  MULTIARCH_ASK=("$package") MULTIARCH_CHANGED=()
  local from_release=(-t "$MULTIARCH_RELEASE" --allow-downgrades) round unmet p
  for round in $(seq 20); do
    said=$(LC_ALL=C apt-get install -s --no-install-recommends "${from_release[@]}" "${MULTIARCH_ASK[@]}" 2>&1) && break
    unmet=$(unmet_i386 <<<"$said")
    local before=${#MULTIARCH_ASK[@]}
    for p in $unmet; do
      [[ " ${MULTIARCH_ASK[*]} " == *" $p "* ]] || _ask_for "$p"
    done
    if [ "${#MULTIARCH_ASK[@]}" -eq "$before" ]; then
      echo "setup: $package cannot be installed, not even from $MULTIARCH_RELEASE alone: $(grep '^E:' <<<"$said" | head -n 1)"
      return 1
    fi
  done
  said=$("${apt[@]}" "${from_release[@]}" "${MULTIARCH_ASK[@]}" 2>&1 >/dev/null) || {
    echo "setup: $package could not be installed from $MULTIARCH_RELEASE: $(grep '^E:' <<<"$said" | head -n 1)"
    return 1
  }
  local changed=
  [ "${#MULTIARCH_CHANGED[@]}" -eq 0 ] || changed=", 64-bit halves brought to their 32-bit partners' versions: $(printf '%s, ' "${MULTIARCH_CHANGED[@]}")"
  echo "setup: $package installed from $MULTIARCH_RELEASE's own lists, both halves of each library at one version${changed%, }"
}
