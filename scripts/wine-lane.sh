#!/usr/bin/env bash
# One lane's Wine tests: a session of its own prefix (display, prefix,
# server), then ctest with the arguments given; the session ends with it.
#   wine-lane.sh PREFIX_DIR PREFIX_KIND LOADER [ctest arguments]
set -uo pipefail
cd "$(dirname "$0")/.."
source scripts/wine-session.sh
# A session that cannot start has said why; its lane has no results.
wine_session_start "$1" "$2" "$3" || exit 125
shift 3
ctest "$@"
