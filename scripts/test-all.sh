#!/usr/bin/env bash
# Builds every preset and runs every test: native, native with sanitizers, win64 under 64-bit Wine
# and win32 under 32-bit Wine; then makes the .deb and the Windows .zip files and .msi, checks them
# and the install (scripts/check-packages.sh), builds the firmware example against that install
# (scripts/check-firmware-example.sh), installs and uninstalls the .msi under Wine
# (scripts/check-msi.sh), then runs every fuzz target for a short while.
# Exits non-zero when anything fails; each preset's CTest summary is printed as it finishes.
# On a machine whose kernel cannot execute 32-bit programs Wine's 32-bit loader cannot start: there
# the win32 preset is still built, with warnings as errors, and only its tests and the Wine runs of
# its programs are left out, each with a loud line, named again in the summary
# (scripts/lib/wine32.sh). Everything of the win64 build runs on every machine.
set -uo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh || exit 1
# shellcheck source-path=SCRIPTDIR source=lib/wine32.sh
source scripts/lib/wine32.sh

failed=() skipped=()
for preset in native native-sanitize win64 win32; do
  echo "=== $preset"
  if [ "$preset" = win32 ] && ! runs_32bit_programs; then
    if ! { cmake --preset win32 && cmake --build --preset win32; }; then
      failed+=(win32)
    fi
    no_wine "win32 tests"
    skipped+=("win32 tests")
  elif ! cmake --workflow --preset "$preset"; then
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

# The Windows installer, installed and removed under 64-bit Wine in a prefix of its own.
echo "=== msi"
if ! scripts/check-msi.sh; then
  failed+=(msi)
fi
# check-packages.sh names what it left out itself; the summary repeats it.
runs_32bit_programs || skipped+=("Wine runs of the win32 .zip's programs")

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

not_run=
if [ ${#skipped[@]} -ne 0 ]; then
  printf -v not_run '%s, ' "${skipped[@]}"
  not_run=" NOT RUN (this machine cannot execute 32-bit programs, so 32-bit Wine cannot start): ${not_run%, }."
fi
if [ ${#failed[@]} -ne 0 ]; then
  echo "FAILED: ${failed[*]}.$not_run"
  exit 1
fi
echo "All presets built and passed their tests.$not_run"
