#!/usr/bin/env bash
# Makes both packages into build/packages/: the Linux .deb from the native build and the Windows
# .zip from the win32 build, each with CPack from its preset. Installs what it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
# A package left from another version would pass for this one's.
rm -f build/packages/rgb565-tools[-_]*
for preset in native win32; do
  echo "=== package-$preset"
  cmake --workflow --preset "package-$preset"
done
ls -l build/packages/*.deb build/packages/*.zip
