#!/usr/bin/env bash
# The benchmarks, one command, one table: builds the shipped programs (for
# their sizes and imports) and the x86_64 build with the benchmark program,
# runs it in a Wine session of its own prefix (so that it never meets a test
# run's printers), and adds the executables' sizes and imports to the table.
set -euo pipefail
source "$(dirname "$0")/../scripts/fixed-layout.sh" "$0" "$@"
cd "$(dirname "$0")/.."
root=$PWD
cmake --preset windows >/dev/null
cmake --build --preset windows >/dev/null
cmake --preset wine-tests >/dev/null
cmake --build --preset wine-tests --target bench >/dev/null
# The package of this build's programs and custom actions, as the tests make it.
bash tests/wine/packages.sh build/wine-tests/bench/packages build/wine-tests build/wine-tests/msi/MarloSetupActions.dll
source scripts/wine-session.sh
wine_session_start "$root/build/bench-prefix"
status=0
scripts/wine build/wine-tests/bench/bench.exe </dev/null | tr -d '\r' || status=$?
for exe in build/windows/installer/PLOTINST.exe build/windows/deployer/AddonDeploy.exe; do
  size=$(stat -c %s "$exe")
  goal=300; [[ $exe == *AddonDeploy* ]] && goal=200
  imports=$(i686-w64-mingw32-objdump -p "$exe" | grep -oP 'DLL Name: \K\S+' | tr '[:upper:]' '[:lower:]' | sort | tr '\n' ' ')
  printf '| %-52s | %4s | %9.1f | %9s |\n' "$(basename "$exe") (32-bit), KiB (goal <= $goal)" 1 "$(echo "$size / 1024" | bc -l)" ""
  printf '|   imports: %-94s|\n' "$imports"
done
exit $status
