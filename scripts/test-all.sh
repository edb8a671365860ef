#!/usr/bin/env bash
# Builds every preset and runs every test: native, native with sanitizers, and win32 under Wine;
# then makes the .deb, the .zip and the .msi, checks the first two and the install
# (scripts/check-packages.sh), builds the firmware example against that install
# (scripts/check-firmware-example.sh), installs and uninstalls the .msi under Wine
# (scripts/check-msi.sh), then runs every fuzz target for a short while.
# Exits non-zero when anything fails; each preset's CTest summary is printed as it finishes.
set -uo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh || exit 1

failed=()
for preset in native native-sanitize win32; do
  echo "=== $preset"
  if ! cmake --workflow --preset "$preset"; then
    failed+=("$preset")
  fi
done

echo "=== packages"
if ! { scripts/package.sh && scripts/check-packages.sh; }; then
  failed+=(packages)
fi

# The firmware example, built against the native build's install as a user's project would be.
echo "=== firmware example"
if ! scripts/check-firmware-example.sh; then
  failed+=(firmware-example)
fi

# The Windows installer, installed and removed under Wine in a prefix of its own.
echo "=== msi"
if ! scripts/check-msi.sh; then
  failed+=(msi)
fi

# About 30 seconds a fuzz target: long enough to catch a regression in the parsers' bounds, short
# enough for every CI run. Longer runs: scripts/fuzz.sh 600.
echo "=== fuzzing"
if ! scripts/fuzz.sh 30; then
  failed+=(fuzzing)
fi

echo "=== formatting"
if ! scripts/check-format.sh; then
  failed+=(formatting)
fi

if [ ${#failed[@]} -ne 0 ]; then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
echo "All presets built and passed their tests."
