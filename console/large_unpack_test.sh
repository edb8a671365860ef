#!/usr/bin/env bash
# The Windows build's large files: a raw frame of 2 GiB unpacked into a BMP of 3 GiB, so that
# offsets past 2 GiB (where a signed 32-bit count wraps) are read and written through the
# program's real file views and output. The input is sparse, all zeros but for its last word:
#   large_unpack_test.sh WORK_DIR EMULATOR... RGB565_EXE
# Needs about 3 GiB of free space in WORK_DIR, which it empties again.
set -u
work=$1
shift
mkdir -p "$work" || exit 1
trap 'rm -f "$work/frame.bin" "$work/frame.bmp"' EXIT
rm -f "$work/frame.bin" "$work/frame.bmp"

# 32768 x 32768 words; the last one pure red (0xF800, low byte first).
truncate -s $((2 * 1024 * 1024 * 1024 - 2)) "$work/frame.bin" || exit 1
printf '\x00\xf8' >>"$work/frame.bin"
"$@" unpack --rows stored --size 32768x32768 "$work/frame.bin" "$work/frame.bmp" || { echo "FAIL: unpack exited $?"; exit 1; }

# The 58-byte header, then 32768 rows of 98304 bytes with no padding; rows stay in the file's
# order (--rows stored: the raw image's first row is the BMP's first stored row), so the input's last word is the BMP's last pixel: blue, green, red = 00 00 f8.
size=$(stat -c %s "$work/frame.bmp")
[ "$size" -eq 3221225530 ] || { echo "FAIL: the BMP holds $size bytes, not 3221225530"; exit 1; }
header=$(head -c 30 "$work/frame.bmp" | od -An -tx1 | tr -d ' \n')
# "BM", the file's size, 0, the pixels' offset (58), a 40-byte header, 32768 x 32768, 1 plane, 24 bits.
[ "$header" = 424d3a0000c0000000003a00000028000000008000000080000001001800 ] ||
  { echo "FAIL: the header starts $header"; exit 1; }
tail_bytes=$(tail -c 6 "$work/frame.bmp" | od -An -tx1 | tr -d ' \n')
[ "$tail_bytes" = 0000000000f8 ] || { echo "FAIL: the last two pixels are $tail_bytes, not 000000 0000f8"; exit 1; }
echo "a 3 GiB BMP from a 2 GiB frame: size, header and last pixels as expected"
