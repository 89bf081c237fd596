#!/usr/bin/env bash
# A bounded libFuzzer run of each platform-free piece that reads text or
# bytes from outside, starting from the committed seeds. A crash leaves its input in
# build/fuzz/artifacts; add it to tests/fuzz/corpus/<target>/ with the fix.
#   scripts/fuzz.sh [SECONDS_PER_TARGET]   (default 60)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target fuzz_switch_scan fuzz_port_selection fuzz_host_paths fuzz_pe_machine >/dev/null
mkdir -p build/fuzz/artifacts
for target in switch_scan port_selection host_paths pe_machine; do
  work=build/fuzz/corpus/$target
  mkdir -p "$work"
  echo "fuzzing $target for ${seconds}s"
  build/fuzz/tests/fuzz/fuzz_$target -max_total_time="$seconds" -max_len=4096 \
    -artifact_prefix=build/fuzz/artifacts/$target- "$work" "tests/fuzz/corpus/$target" 2>build/fuzz/$target.log ||
    { tail -30 build/fuzz/$target.log; exit 1; }
  tail -1 build/fuzz/$target.log
done
