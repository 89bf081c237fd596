#!/usr/bin/env bash
# The whole test suite: the platform-free pieces natively under the
# sanitizers and a bounded fuzz run of each, the shipped 32-bit build and its
# checks, and the programs' tests on Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

cmake --preset host >/dev/null
cmake --build --preset host
ctest --preset host
bash scripts/fuzz.sh 60

cmake --preset windows >/dev/null
cmake --build --preset windows
# What ships: image flags, imports, identical rebuild, the release command.
bash tests/release/check_release.sh

cmake --preset wine-tests >/dev/null
cmake --build --preset wine-tests
source scripts/wine-session.sh
wine_session_start "$PWD/build/wine-tests/prefix"
ctest --preset wine-tests "$@"
