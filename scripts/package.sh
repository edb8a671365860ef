#!/usr/bin/env bash
# Makes the packages into build/packages/: the Linux .deb from the native build, the 64-bit Windows
# .zip and .msi from the win64 build and the 32-bit .zip from the win32 build, each with CPack from
# its preset (the .msi through CPack's External generator and cmake/msi.cmake). Installs what it
# needs first.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
# Stripping a Windows program writes the time of stripping into its header, so the .zip and the
# .msi, stripped apart, would hold different bytes for one program, and no two runs the same.
# SOURCE_DATE_EPOCH (the last commit's time) is the time binutils writes instead.
if [ -z "${SOURCE_DATE_EPOCH:-}" ] && epoch=$(git log -1 --format=%ct 2>/dev/null); then
  export SOURCE_DATE_EPOCH=$epoch
fi
# A package left from another version would pass for this one's.
rm -f build/packages/rgb565-tools[-_]*
for preset in native win64 win32; do
  echo "=== package-$preset"
  cmake --workflow --preset "package-$preset"
done
# The External generator also leaves its description of the install (.json): not a package.
rm -f build/packages/rgb565-tools-*.json build/packages/rgb565-tools-*.json.sha256
ls -l build/packages/*.deb build/packages/*.zip build/packages/*.msi
