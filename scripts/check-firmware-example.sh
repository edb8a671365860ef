#!/usr/bin/env bash
# Builds examples/firmware as a user's firmware project would be built: against the native build
# installed into a temporary DESTDIR and found through CMAKE_PREFIX_PATH, with Ninja. Checks that
#   - find_package(rgb565) finds the installed package, of the version rgb565 --version names;
#   - the first build converts both pictures, and the firmware's checks of their pixels pass;
#   - a second build with nothing changed converts nothing;
#   - after one picture is touched, the build converts that picture and no other, and after the
#     program is, every picture;
#   - rgb565_add_images' other arguments, and its refusals, each in a small project of its own.
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

  echo "=== build after installing rgb565 anew"
  touch "$destdir/usr/bin/rgb565"
  if build new-program; then
    expect "pictures converted by a new rgb565" $'images/icon.png\nimages/logo.bmp' "$(converted "$work/new-program.log")"
  else
    fail "the build after a new rgb565 failed"
  fi
fi

# rgb565_add_images' other arguments, each in a project of one empty main.c and the example's
# pictures: "configure" cases must stop CMake with the message given; "build" cases must build, or
# fail to, and leave the file given in rgb565_images/firmware/ with the text given (bytes in hex
# for a raw image), or no file there when the text is "-".
cases=(
  "configure|SOURCES images/logo.bmp images/LOGO.png|would make LOGO.h for firmware a second time"
  "configure|CONTAINER lvgl SOURCES images/logo.bmp|CONTAINER is c-array or raw, not \"lvgl\""
  "configure|CONTAINER raw PREFIX ui SOURCES images/logo.bmp|PREFIX names C arrays; a raw image has none"
  "configure|OPTIONS --rows top-down|SOURCES names no picture"
  "build|PREFIX ui SOURCES images/logo.bmp|logo.h|static const uint16_t ui_logo[6]"
  "build|CONTAINER raw SOURCES images/logo.bmp|logo.bin|ffff0000048200f8e0071f00"
  "fails|SOURCES images/notes.png|notes.h|-"
)
echo "=== rgb565_add_images' arguments"
for entry in "${cases[@]}"; do
  IFS='|' read -r kind arguments file text <<<"$entry"
  case_dir=$work/case
  rm -rf "$case_dir"
  mkdir -p "$case_dir/images"
  cp "$project/images/logo.bmp" "$case_dir/images/"
  echo "not a picture" >"$case_dir/images/notes.png"
  echo 'int main(void) { return 0; }' >"$case_dir/main.c"
  printf '%s\n' 'cmake_minimum_required(VERSION 3.16)' 'project(case LANGUAGES C)' 'find_package(rgb565 REQUIRED)' \
    'add_executable(firmware main.c)' "rgb565_add_images(TARGET firmware $arguments)" >"$case_dir/CMakeLists.txt"
  configured=$(cmake -S "$case_dir" -B "$case_dir/build" -G Ninja -DCMAKE_PREFIX_PATH="$destdir/usr" 2>&1)
  configure_status=$?
  if [ "$kind" = configure ]; then
    if [ $configure_status -eq 0 ]; then
      fail "$arguments: configured, but should have stopped with: $file"
    elif ! grep -qF -- "$file" <<<"$(tr -s ' \n' ' ' <<<"$configured")"; then
      fail "$arguments: stopped without saying '$file':
$configured"
    else
      pass
    fi
    continue
  fi
  [ $configure_status -eq 0 ] || { fail "$arguments: does not configure:
$configured"; continue; }
  built=$(cmake --build "$case_dir/build" 2>&1)
  build_status=$?
  output=$case_dir/build/rgb565_images/firmware/$file
  if [ "$kind" = fails ]; then
    [ $build_status -ne 0 ] || fail "$arguments: built"
    grep -q "^rgb565: images/notes.png: Cannot open input" <<<"$built" || fail "$arguments: no reason from rgb565:
$built"
    expect "$arguments: the file left" "" "$(ls "$output" 2>/dev/null)"
  elif [ $build_status -ne 0 ]; then
    fail "$arguments: the build failed:
$built"
  elif [ "$file" = logo.bin ]; then
    expect "$arguments: $file" "$text" "$(od -An -tx1 -v "$output" | tr -d ' \n')"
  else
    expect "$arguments: $file declares" "$text" "$(grep -o "static const uint16_t [a-z_]*\[[0-9]*\]" "$output")"
  fi
done

echo "firmware example: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
