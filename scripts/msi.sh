#!/usr/bin/env bash
# Builds the Windows Installer package from a folder holding what ships
# (PLOTINST.exe, AddonDeploy.exe, Data1-3.CAB, Marlotrim32.cpg,
# Marlotrim64.cpg, Marlotrim.bmp) and the custom-action DLL.
#
#   scripts/msi.sh FILES_FOLDER ACTIONS.dll OUTPUT.msi [VERSION]
#
# VERSION (a.b.c.d) defaults to the programs' version resource; the tests
# build older and newer packages with it. The product code follows from the
# version, so that one version always has one product code and each new
# version is a major upgrade. wixl writes rollback and commit actions without
# their bits; they are set here and checked.
set -euo pipefail
[ "$#" -ge 3 ] && [ "$#" -le 4 ] || {
  echo "usage: scripts/msi.sh FILES_FOLDER ACTIONS.dll OUTPUT.msi [VERSION]" >&2
  exit 2
}
here=$(cd "$(dirname "$0")/.." && pwd)
files=$(realpath -- "$1")
actions=$(realpath -- "$2")
out=$(realpath -m -- "$3")
version=${4:-$(sed -nE 's/^FILEVERSION ([0-9]+),([0-9]+),([0-9]+),([0-9]+).*/\1.\2.\3.\4/p' "$here/installer/res/version.rc2")}
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$ ]] || {
  echo "msi: version '$version' is not a.b.c.d" >&2
  exit 2
}
upgrade_code=3B0C6E0A-6C43-4F8B-9E51-7A2D2F1C4D90
product_code=$(python3 -c 'import sys, uuid; print(str(uuid.uuid5(uuid.UUID(sys.argv[1]), sys.argv[2])).upper())' \
  "$upgrade_code" "$version")

work=$(mktemp -d)
trap 'rm -rf -- "$work"' EXIT
# wixl takes source files by relative names only.
mkdir "$work/in"
for f in PLOTINST.exe AddonDeploy.exe Data1.CAB Data2.CAB Data3.CAB Marlotrim32.cpg Marlotrim64.cpg Marlotrim.bmp; do
  cp -- "$files/$f" "$work/in/$f"
done
cp -- "$actions" "$work/in/MarloSetupActions.dll"
cp -- "$here/installer/res/PLOTINST.ico" "$here/msi/package.wxs" "$work/in/"
# Reproducible: the embedded cabinet keeps each file's time, and the summary
# gets the commit's time and a package code made from the inputs, as the
# release's other files take the commit's time.
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$here" log -1 --format=%ct)}
touch -d "@$epoch" "$work/in"/*
package_code=$(cd "$work/in" && LC_ALL=C sha256sum -- * | python3 -c '
import sys, uuid
print(str(uuid.uuid5(uuid.UUID(sys.argv[1]), sys.argv[2] + sys.stdin.read())).upper())' "$upgrade_code" "$version")
(cd "$work/in" && wixl -a x86 -D "Version=$version" -D "ProductCode=$product_code" -D Files=. \
  -D Actions=MarloSetupActions.dll -D Icon=PLOTINST.ico -o ../package.msi package.wxs)

# Rollback and commit actions: run in the script (0x400) as rollback
# (0x100) or commit (0x200) steps, in the system context (0x800), their
# return ignored (0x40), from a DLL in the Binary table (0x1).
declare -A types=([RollbackPrinter]=3393 [RollbackPlugin]=3393 [CommitPlugin]=3649
  [RestorePrinter]=3393 [RollbackPluginRemoval]=3393 [CommitPluginRemoval]=3649)
for action in "${!types[@]}"; do
  msibuild "$work/package.msi" -q "UPDATE CustomAction SET Type=${types[$action]} WHERE Action='$action'"
done
# The old version's removal inside the new one's transaction, after
# InstallInitialize (wixl takes no Schedule): a failed upgrade keeps it.
msibuild "$work/package.msi" -q "UPDATE InstallExecuteSequence SET Sequence=1503 WHERE Action='RemoveExistingProducts'"
msiinfo export "$work/package.msi" _SummaryInformation >"$work/_SummaryInformation.idt"
saved=$(TZ=UTC date -d "@$epoch" '+%Y/%m/%d %H:%M:%S')
sed -i -E "s|^9\t.*\r\$|9\t{$package_code}\r|; s|^(12\|13)\t.*\r\$|\1\t$saved\r|" "$work/_SummaryInformation.idt"
msibuild "$work/package.msi" -i "$work/_SummaryInformation.idt"
# Every deferred action runs in the system context, each type as meant.
declare -A want=([PrepareCourses]=1 [InstallPrinter]=3073 [DeployPlugin]=3073 [RemovePlugin]=3073
  [RemovePrinter]=3073)
for action in "${!types[@]}"; do want[$action]=${types[$action]}; done
table=$(msiinfo export "$work/package.msi" CustomAction)
for action in "${!want[@]}"; do
  got=$(awk -F'\t' -v a="$action" '$1 == a {print $2}' <<<"$table")
  [ "$got" = "${want[$action]}" ] || {
    echo "msi: custom action $action has type '$got', not ${want[$action]}" >&2
    exit 1
  }
done
mv -- "$work/package.msi" "$out"
