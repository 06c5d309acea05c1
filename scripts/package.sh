#!/usr/bin/env bash
# Builds the Windows Installer packages into dist/ (or --out DIR) with their SHA-256 sums:
#   quillon-<version>-x86.msi  the 32-bit library, quillon.exe, docs/cache-file.md
#   quillon-<version>-x64.msi  the 64-bit and the 32-bit library, the 64-bit quillon.exe, the docs
# The package version comes from packaging/version (or --version X.Y.Z); Windows Installer
# compares only the first three fields, so each release must change one of them.
# Usage: scripts/package.sh [--no-build] [--version X.Y.Z] [--out DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=yes
version=$(tr -d ' \r\n' <packaging/version)
out=dist
while [ $# -gt 0 ]; do
  case $1 in
    --no-build) build=no; shift ;;
    --version) version=${2:?}; shift 2 ;;
    --out) out=${2:?}; shift 2 ;;
    *) echo "package.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
# Windows Installer's limits: major and minor up to 255, build up to 65535.
if ! [[ $version =~ ^([0-9]+)\.([0-9]+)\.([0-9]+)$ ]] || [ "${BASH_REMATCH[1]}" -gt 255 ] ||
  [ "${BASH_REMATCH[2]}" -gt 255 ] || [ "${BASH_REMATCH[3]}" -gt 65535 ]; then
  echo "package.sh: version '$version' is not MAJOR.MINOR.BUILD (255.255.65535 at most)" >&2
  exit 2
fi

if [ "$build" = yes ]; then
  scripts/setup.sh
  for preset in win32 win64; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j"$(nproc)"
  done
fi
for file in build/win32/src/package/HN_Quillon_PD.ocx build/win32/tools/quillon/quillon.exe \
  build/win64/src/package/HN_Quillon_PD.ocx build/win64/tools/quillon/quillon.exe \
  build/win32/src/package/quillon_setup.dll build/win32/src/package/generated/registry-win32.wxi \
  build/win64/src/package/generated/registry-win64.wxi; do
  [ -f "$file" ] || { echo "package.sh: $file is missing (build without --no-build)" >&2; exit 1; }
done

tables=$(mktemp -d)
trap 'rm -rf "$tables"' EXIT
# Rows wixl cannot write. Upgrade: an installed package of the same version but the other
# architecture is replaced too, so that one Quillon PD at most is installed; a newer one
# refuses the install. (The registration rows come from the build: registry-win*.wxi.)
upgrade_code=$(sed -n 's/.*define UpgradeCode = "\([^"]*\)".*/\1/p' packaging/product.wxi)
printf 'UpgradeCode\tVersionMin\tVersionMax\tLanguage\tAttributes\tRemove\tActionProperty
s38\tS20\tS20\tS255\ti4\tS255\ts72
Upgrade\tUpgradeCode\tVersionMin\tVersionMax\tLanguage\tAttributes
{%s}\t\t%s\t\t513\t\tWIX_UPGRADE_DETECTED
{%s}\t%s\t\t\t2\t\tWIX_DOWNGRADE_DETECTED
' "$upgrade_code" "$version" "$upgrade_code" "$version" >"$tables/Upgrade.idt"

mkdir -p "$out"
for arch in x86 x64; do
  msi=$out/quillon-$version-$arch.msi
  rm -f "$msi"
  wixl -a "$arch" -D VERSION="$version" -D Win32Build=build/win32 -D Win64Build=build/win64 \
    -D SourceDir=. -I packaging -I build/win32/src/package/generated \
    -I build/win64/src/package/generated -o "$msi" "packaging/quillon-$arch.wxs"
  msibuild "$msi" -i "$tables/Upgrade.idt"
  echo "package.sh: $msi"
done
(cd "$out" && sha256sum "quillon-$version-x86.msi" "quillon-$version-x64.msi" >SHA256SUMS)
cat "$out/SHA256SUMS"
