#!/bin/sh
# Makes the JPEGs that the structure tests cut and alter, with ImageMagick (Debian 12's 6.9.11) and,
# for restart markers, libjpeg-turbo's cjpeg (package libjpeg-turbo-progs):
# baseline colour (4:2:0), baseline grey, progressive colour, and baseline with a restart marker
# after every row of blocks.
set -eu
cd "$(dirname "$0")"
/usr/bin/convert -size 40x24 plasma:fractal -seed 7 -quality 85 -sampling-factor 2x2 baseline.jpg
/usr/bin/convert -size 40x24 gradient:black-white -colorspace Gray -quality 85 grey.jpg
/usr/bin/convert -size 40x24 plasma:fractal -seed 7 -quality 85 -interlace JPEG progressive.jpg
/usr/bin/convert -size 40x24 plasma:fractal -seed 7 ppm:- | cjpeg -quality 85 -restart 1 > restarts.jpg
