#!/usr/bin/env bash
# Builds examples/firmware as a user's firmware project would be built: against the native build
# installed into a temporary DESTDIR and found through CMAKE_PREFIX_PATH, with Ninja. Checks that
#   - find_package(rgb565) finds the installed package, of the version rgb565 --version names;
#   - the first build converts both pictures, and the firmware's checks of their pixels pass;
#   - a second build with nothing changed converts nothing;
#   - after one picture is touched, the build converts that picture and no other.
# Which pictures a build converted is read from Ninja's output: one line a custom command, its
# comment ("rgb565: converting images/logo.bmp to logo.h").
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
native=$root/build/native
version=$(cat "$native/packaging/version.txt") || exit 1

passed=0 failed=0
pass() { passed=$((passed + 1)); }
fail() {
  echo "FAIL: $*" >&2
  failed=$((failed + 1))
}
# expect DESCRIPTION EXPECTED ACTUAL
expect() {
  if [ "$2" = "$3" ]; then pass; else fail "$1: expected
$2
got
$3"; fi
}

work=$(mktemp -d "${TMPDIR:-/tmp}/check-firmware.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT

destdir=$work/destdir
DESTDIR=$destdir cmake --install "$native" --prefix /usr >/dev/null || { echo "FAIL: cmake --install" >&2; exit 1; }
# A copy, so that touching a picture leaves the source tree alone.
cp -r "$root/examples/firmware" "$work/firmware"
project=$work/firmware
build=$work/build

# converted LOG: the pictures a build converted, one a line, sorted.
converted() { sed -n 's/^\[[0-9]*\/[0-9]*\] rgb565: converting \(.*\) to .*$/\1/p' "$1" | sort; }
# build NAME: builds the example, its output in $work/NAME.log; fails when the build does.
build() { cmake --build "$build" >"$work/$1.log" 2>&1 || { cat "$work/$1.log" >&2; return 1; }; }
# run_firmware: the firmware's own checks of the pixels.
run_firmware() {
  local output
  output=$("$build/firmware" 2>&1) && pass || fail "the firmware's checks:
$output"
}

echo "=== configure against the installed package"
if ! cmake -S "$project" -B "$build" -G Ninja -DCMAKE_PREFIX_PATH="$destdir/usr" >"$work/configure.log" 2>&1; then
  cat "$work/configure.log" >&2
  fail "the example does not configure"
else
  expect "the package found" "-- rgb565 $version in $destdir/usr/lib/cmake/rgb565" \
    "$(grep '^-- rgb565 ' "$work/configure.log")"

  echo "=== first build"
  if build first; then
    expect "pictures converted by the first build" $'images/icon.png\nimages/logo.bmp' "$(converted "$work/first.log")"
    run_firmware
  else
    fail "the first build failed"
  fi

  echo "=== build again, nothing changed"
  if build again; then
    expect "pictures converted with nothing changed" "" "$(converted "$work/again.log")"
  else
    fail "the second build failed"
  fi

  echo "=== build after touching images/icon.png"
  touch "$project/images/icon.png"
  if build touched; then
    expect "pictures converted after touching icon.png" "images/icon.png" "$(converted "$work/touched.log")"
    run_firmware
  else
    fail "the build after touching a picture failed"
  fi
fi

echo "firmware example: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
