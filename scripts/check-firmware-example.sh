#!/usr/bin/env bash
# Builds examples/firmware as a user's firmware project would be built: against the native build
# installed into a temporary DESTDIR and found through CMAKE_PREFIX_PATH, with Ninja. Checks that
#   - find_package(rgb565) finds the installed package, of the version rgb565 --version names;
#   - the first build converts both pictures and rasterises the clock's font, and the firmware's
#     checks of their pixels and glyphs pass;
#   - a second build with nothing changed converts and rasterises nothing;
#   - after one picture is touched, the build converts that picture and no other, and after the
#     program is, every picture and the font;
#   - rgb565_add_images' other arguments, and its refusals, each in a small project of its own.
# Which pictures a build converted is read from Ninja's output: one line a custom command, its
# comment ("rgb565: converting images/logo.bmp to logo.h"; "rgb565: rasterising FONT at 16 px to
# clock_font.h").
set -uo pipefail
# shellcheck source-path=SCRIPTDIR source=lib/check.sh
source "$(dirname "$0")/lib/check.sh"
version=$(build_version "$native") || exit 1

make_work_dir check-firmware

destdir=$work/destdir
DESTDIR=$destdir cmake --install "$native" --prefix /usr >/dev/null || { echo "FAIL: cmake --install" >&2; exit 1; }
# A copy, so that touching a picture leaves the source tree alone.
cp -r "$root/examples/firmware" "$work/firmware"
project=$work/firmware
build=$work/build

# converted LOG: the pictures a build converted, one a line, sorted.
converted() { sed -n 's/^\[[0-9]*\/[0-9]*\] rgb565: converting \(.*\) to .*$/\1/p' "$1" | sort; }
# rasterised LOG: the fonts a build rasterised, one a line, sorted.
rasterised() { sed -n 's/^\[[0-9]*\/[0-9]*\] rgb565: rasterising \(.*\) at [0-9]* px to .*$/\1/p' "$1" | sort; }
font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
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
    expect "fonts rasterised by the first build" "$font" "$(rasterised "$work/first.log")"
    run_firmware
  else
    fail "the first build failed"
  fi

  echo "=== build again, nothing changed"
  if build again; then
    expect "pictures converted with nothing changed" "" "$(converted "$work/again.log")"
    expect "fonts rasterised with nothing changed" "" "$(rasterised "$work/again.log")"
  else
    fail "the second build failed"
  fi

  echo "=== build after touching images/icon.png"
  touch "$project/images/icon.png"
  if build touched; then
    expect "pictures converted after touching icon.png" "images/icon.png" "$(converted "$work/touched.log")"
    expect "fonts rasterised after touching icon.png" "" "$(rasterised "$work/touched.log")"
    run_firmware
  else
    fail "the build after touching a picture failed"
  fi

  echo "=== build after installing rgb565 anew"
  touch "$destdir/usr/bin/rgb565"
  if build new-program; then
    expect "pictures converted by a new rgb565" $'images/icon.png\nimages/logo.bmp' "$(converted "$work/new-program.log")"
    expect "fonts rasterised by a new rgb565" "$font" "$(rasterised "$work/new-program.log")"
  else
    fail "the build after a new rgb565 failed"
  fi
fi

# rgb565_add_images' other arguments, each in a project of one empty main.c and the example's
# pictures. "configure" cases must stop CMake with the message given (in a project of the
# languages in their fourth field, C when there is none). "build" cases must build, convert
# nothing when built again, and leave the file given in rgb565_images/firmware/ holding the text
# given (for a .bin, its bytes in hex, whole); "fails" cases must fail to build, rgb565 saying the text given, and leave no such file.
# The expected bytes are worked out by hand from the colours of logo.bmp (images/make-images.py):
# top row first unless --rows stored is asked for; grey levels are
# the luma (299 R + 587 G + 114 B + 500) / 1000: red 4C, green 96, blue 1D, white FF, black 00,
# brown 804020 4F. An LVGL image's 12-byte header is magic 19, colour format (RGB565 12), flags,
# width, height and stride, each 16 bits low byte first, and two zero bytes.
cases=(
  "configure|SOURCES images/logo.bmp images/LOGO.png|would make LOGO.h for firmware a second time"
  "configure|CONTAINER lvgl-bin SOURCES images/logo.bmp images/logo.png|would make logo.bin for firmware a second time"
  "configure|CONTAINER png SOURCES images/logo.bmp|CONTAINER is c-array, raw, lvgl or lvgl-bin, not \"png\""
  "configure|CONTAINER raw PREFIX ui SOURCES images/logo.bmp|PREFIX is for C files; CONTAINER raw writes a binary file"
  "configure|CONTAINER lvgl-bin C_ATTRIBUTE PROGMEM SOURCES images/logo.bmp|C_ATTRIBUTE is for C files; CONTAINER lvgl-bin writes a binary file"
  "configure|CONTAINER lvgl SOURCES images/logo.bmp|CONTAINER lvgl writes C files; enable C|CXX"
  "configure|OPTIONS --rows bottom-up|SOURCES names no picture"
  "build|PREFIX ui SOURCES images/logo.bmp|logo.h|static const uint16_t ui_logo[6] = {"
  "build|C_TYPE bytes SOURCES images/logo.bmp|logo.h|static const uint8_t logo[12] = {"
  "build|FORMAT gray8 SOURCES images/logo.bmp|logo.h|    0x4C, 0x96, 0x1D, 0xFF, 0x00, 0x4F"
  "build|CONTAINER raw SOURCES images/logo.bmp|logo.bin|00f8e0071f00ffff00000482"
  "build|CONTAINER raw OPTIONS --rows stored SOURCES images/logo.bmp|logo.bin|ffff0000048200f8e0071f00"
  "build|CONTAINER lvgl-bin SOURCES images/logo.bmp|logo.bin|19120000030002000600000000f8e0071f00ffff00000482"
  "build|FORMAT gray8 CONTAINER lvgl-bin SOURCES images/logo.bmp|logo.bin|1906000003000200030000004c961dff004f"
  "build|CONTAINER lvgl PREFIX ui C_ATTRIBUTE \"__attribute__((aligned(4)))\" SOURCES images/logo.bmp|logo.c|static LV_ATTRIBUTE_MEM_ALIGN LV_ATTRIBUTE_LARGE_CONST const uint8_t ui_logo_map[12] __attribute__((aligned(4))) = {"
  "build|FRAMES all PREFIX ui SOURCES images/anim.gif|anim.h|#define ui_anim_frames 4"
  "build|FRAMES all SOURCES images/anim.gif|anim.h|static const uint32_t anim_delays_ms[4] = {"
  "fails|CONTAINER lvgl-bin FRAMES all SOURCES images/anim.gif|anim.bin|--lvgl holds one picture, not --frame all"
  "fails|SOURCES images/notes.png|notes.h|rgb565: images/notes.png: Cannot open input"
  "fails|FORMAT rgb56 SOURCES images/logo.bmp|logo.h|rgb565: bad value 'rgb56' for --format"
)
echo "=== rgb565_add_images' arguments"
for entry in "${cases[@]}"; do
  IFS='|' read -r kind arguments file text <<<"$entry"
  case_dir=$work/case
  rm -rf "$case_dir"
  mkdir -p "$case_dir/images"
  cp "$project/images/logo.bmp" "$case_dir/images/"
  cp "$project/images/icon.png" "$case_dir/images/logo.png"
  # Four frames that ImageMagick made, shown 100, 200, 300 and 400 ms.
  cp "$root/read/gif-tests/disposals.gif" "$case_dir/images/anim.gif"
  echo "not a picture" >"$case_dir/images/notes.png"
  echo 'int main(void) { return 0; }' >"$case_dir/main.c"
  # Stands in for LVGL's header, with the names an LVGL image's C file uses, so that the file is
  # compiled as a firmware build would compile it.
  cat >"$case_dir/lvgl.h" <<'EOF'
#include <stdint.h>
#define LVGL_VERSION_MAJOR 9
#define LV_ATTRIBUTE_MEM_ALIGN
#define LV_ATTRIBUTE_LARGE_CONST
#define LV_IMAGE_HEADER_MAGIC 0x19
#define LV_COLOR_FORMAT_RGB565 0x12
typedef struct {
  uint32_t magic : 8, cf : 8, flags : 16;
  uint32_t w : 16, h : 16;
  uint32_t stride : 16, reserved : 16;
} lv_image_header_t;
typedef struct {
  lv_image_header_t header;
  uint32_t data_size;
  const uint8_t* data;
} lv_image_dsc_t;
EOF
  languages=C
  [ "$kind" = configure ] && [ -n "$text" ] && languages=$text
  printf '%s\n' 'cmake_minimum_required(VERSION 3.16)' "project(case LANGUAGES $languages)" 'find_package(rgb565 REQUIRED)' \
    'add_executable(firmware main.c)' 'target_include_directories(firmware PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})' \
    'target_compile_options(firmware PRIVATE -Wall -Wextra -Werror)' \
    "rgb565_add_images(TARGET firmware $arguments)" >"$case_dir/CMakeLists.txt"
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
    if [ $build_status -eq 0 ]; then
      fail "$arguments: built"
    elif ! grep -qF -- "$text" <<<"$built"; then
      fail "$arguments: the build failed without saying '$text':
$built"
    else
      expect "$arguments: the file left" "" "$(ls "$output" 2>/dev/null)"
    fi
  elif [ $build_status -ne 0 ]; then
    fail "$arguments: the build failed:
$built"
  elif [ -n "$(cmake --build "$case_dir/build" | grep "rgb565: converting")" ]; then
    # An output named otherwise than rgb565 names it is never there for the build to find.
    fail "$arguments: a second build converted the picture again"
  elif [ "${file##*.}" = bin ]; then
    expect "$arguments: $file" "$text" "$(od -An -tx1 -v "$output" | tr -d ' \n')"
  elif grep -qxF -- "$text" "$output"; then
    pass
  else
    fail "$arguments: $file has no line '$text':
$(cat "$output" 2>&1)"
  fi
done

check_summary "firmware example"
