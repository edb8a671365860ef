#!/usr/bin/env bash
# Makes the TGA and PNM test pictures with ImageMagick (and ffmpeg for the 16-bit TGA), each beside a
# PNG of the same picture that ImageMagick wrote, upright, for the readers' tests to match.
set -euo pipefail
cd "$(dirname "$0")"
C=/usr/bin/convert
$C -size 7x5 xc: -sparse-color bilinear '0,0 #ff2000 6,0 #10e040 0,4 #3050ff 6,4 #f0f0a0' -depth 8 -type TrueColor colour.png
$C colour.png \( -size 7x5 gradient:white-'gray(40)' \) -alpha off -compose CopyOpacity -composite -type TrueColorAlpha alpha.png
$C colour.png -colorspace Gray -type Grayscale grey.png
$C colour.png -colors 6 -type Palette palette.png
$C colour.png -threshold 50% -type Bilevel mono.png

$C colour.png -type TrueColor tga24.tga
$C colour.png -type TrueColor -orient TopLeft tga24-top.tga
$C colour.png -type TrueColor -compress RLE tga24-rle.tga
# Bit 4 of the descriptor set by hand: the same rows, each stored right to left.
python3 -c "
d = bytearray(open('tga24-top.tga', 'rb').read()); d[17] |= 0x10; open('tga24-top-right-to-left.tga', 'wb').write(d)"
$C alpha.png tga32.tga
$C alpha.png -compress RLE -orient TopLeft tga32-rle-top.tga
$C palette.png -type Palette tga8-mapped.tga
$C palette.png -type Palette -compress RLE tga8-mapped-rle.tga
$C grey.png -type Grayscale tga8-grey.tga
ffmpeg -loglevel error -y -i colour.png -pix_fmt rgb555le tga16.tga
for f in *.tga; do $C "$f" -auto-orient "${f%.tga}.png"; done
$C tga16.tga -auto-orient -depth 16 tga16.png

$C mono.png -compress none pnm-p1.pbm
$C mono.png pnm-p4.pbm
$C grey.png -compress none pnm-p2.pgm
$C grey.png pnm-p5.pgm
$C grey.png -depth 16 -compress none pnm-p2-16.pgm
$C colour.png -compress none pnm-p3.ppm
$C colour.png pnm-p6.ppm
$C -size 7x5 xc: -sparse-color bilinear '0,0 rgb(1.2%,30.7%,99.1%) 6,4 rgb(97.3%,0.6%,51.1%)' -depth 16 pnm-p6-16.ppm
$C pnm-p6-16.ppm pnm-p6-16.png
$C alpha.png pnm-p7-rgba.pam
# ImageMagick writes a grey PAM as RGB: the binary PGM's samples under a GRAYSCALE header.
python3 -c "
d = open('pnm-p5.pgm', 'rb').read()
open('pnm-p7-grey.pam', 'wb').write(b'P7\n# grey\nWIDTH 7\nHEIGHT 5\nDEPTH 1\nMAXVAL 255\nTUPLTYPE GRAYSCALE\nENDHDR\n' + d[-35:])"

# For pack from a file and from standard input: upright, as colour.png.
$C colour.png -type TrueColor -compress RLE -orient TopLeft tga24-rle-top.tga
$C colour.png colour.tiff
$C colour.png -compress lzw colour-lzw.tiff

# TIFFs with alpha, which the project reads itself, each beside the PNG that ImageMagick makes of
# it: alpha from nearly opaque to nearly clear, so that associated colours are divided by small
# alphas; grey and RGB, 8 and 16 bits, each compression and the predictor; two written by Pillow.
$C colour.png \( -size 7x5 gradient:'gray(98%)'-'gray(1%)' \) -alpha off -compose CopyOpacity -composite \
  -type TrueColorAlpha tiff-alpha.png
$C tiff-alpha.png -define tiff:alpha=unassociated -compress none tiff-rgba.tiff
$C tiff-alpha.png -define tiff:alpha=associated -compress lzw -define tiff:predictor=1 tiff-rgba-associated-lzw.tiff
$C tiff-alpha.png -define tiff:alpha=associated -compress lzw -define tiff:predictor=2 -define tiff:endian=msb \
  tiff-rgba-associated-lzw-predictor-msb.tiff
$C tiff-alpha.png -depth 16 -define tiff:alpha=unassociated -compress zip tiff-rgba16-zip.tiff
$C tiff-alpha.png -depth 16 -define tiff:alpha=associated -compress zip -define tiff:predictor=2 \
  -define tiff:endian=msb tiff-rgba16-associated-zip-predictor-msb.tiff
$C tiff-alpha.png -colorspace Gray -type GrayscaleAlpha -compress RLE tiff-grey-alpha-packbits.tiff
$C tiff-alpha.png -colorspace Gray -type GrayscaleAlpha -depth 16 tiff-grey-alpha16.tiff
python3 -c "
from PIL import Image
picture = Image.open('tiff-alpha.png').convert('RGBA')
picture.save('tiff-pillow-rgba.tiff')
picture.convert('LA').save('tiff-pillow-la-deflate.tiff', compression='tiff_adobe_deflate')"
for f in tiff-*.tiff; do $C "$f" "${f%.tiff}-expected.png"; done
