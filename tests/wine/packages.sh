#!/usr/bin/env bash
# The packages the Windows Installer tests run, built as the release builds
# them from stand-in driver and plug-in files: this version, an older one,
# and this version with its embedded cabinet damaged.
#   packages.sh OUTPUT_FOLDER PROGRAMS_FOLDER ACTIONS.dll
set -euo pipefail
out=$1 programs=$2 actions=$3
here=$(cd "$(dirname "$0")/../.." && pwd)
rm -rf -- "$out"
mkdir -p "$out/files"
cp -- "$programs/installer/PLOTINST.exe" "$programs/deployer/AddonDeploy.exe" "$out/files/"
# Driver files as the maker's would be, scrambled into the package's CABs
# (every byte XOR 0xA7), and the plug-in files the deployer tests use.
python3 - "$out/files" <<'PY'
import random, sys
folder = sys.argv[1]
for cab, size in (("Data1.CAB", 70001), ("Data2.CAB", 3075), ("Data3.CAB", 1023)):
    rng = random.Random(cab)
    open(f"{folder}/{cab}", "wb").write(bytes(rng.randrange(256) ^ 0xA7 for _ in range(size)))
open(f"{folder}/Marlotrim32.cpg", "wb").write(b"module for 32-bit hosts")
open(f"{folder}/Marlotrim64.cpg", "wb").write(b"module for 64-bit hosts")
open(f"{folder}/Marlotrim.bmp", "wb").write(b"BM plug-in bitmap")
PY
bash "$here/scripts/msi.sh" "$out/files" "$actions" "$out/current.msi"
bash "$here/scripts/msi.sh" "$out/files" "$actions" "$out/older.msi" 0.9.0.0
# The same package whose embedded cabinet is cut short.
cp -- "$out/current.msi" "$out/damaged.msi"
msiinfo extract "$out/current.msi" product.cab >"$out/product.cab"
head -c 4096 "$out/product.cab" >"$out/cut.cab"
msibuild "$out/damaged.msi" -a product.cab "$out/cut.cab"
rm -- "$out/product.cab" "$out/cut.cab"
