#!/usr/bin/env bash
# Makes the small dumps that read/raw_probe_test.cpp probes, with other tools than this project's:
# ffmpeg writes the raw frames, ImageMagick draws or gives the pictures, numpy writes rgb666.
# Run from this folder; the files are committed, so the tests need none of these tools.
set -euo pipefail
ff() { ffmpeg -v error -y "$@"; }
ff -f lavfi -i mandelbrot=size=96x64 -frames:v 1 mandel.png
/usr/bin/convert rose: -resize 80x60! PNG24:rose.png
/usr/bin/convert -size 72x56 xc:'#202428' -fill '#3a7bd5' -draw 'rectangle 0,0 72,10' \
  -fill white -font DejaVu-Sans -pointsize 9 -annotate +3+8 'Menu 12:45' \
  -fill '#2d3238' -stroke '#f5a623' -draw 'roundrectangle 4,16 67,30 3,3' -stroke none \
  -fill white -annotate +8+27 'Display' PNG24:ui.png
/usr/bin/convert -size 20x40 xc:red xc:lime xc:blue +append PNG24:stripes.png
ff -i rose.png -f rawvideo -pix_fmt rgb24 rose_80x60.rgb24
ff -i rose.png -f rawvideo -pix_fmt rgb565be rose_80x60.rgb565be
ff -i mandel.png -f rawvideo -pix_fmt gray mandel_96x64.gray
ff -i mandel.png -f rawvideo -pix_fmt bgr0 mandel_96x64.bgr0
ff -i ui.png -f rawvideo -pix_fmt rgb565le ui_72x56.rgb565le
ff -i ui.png -f rawvideo -pix_fmt rgb444be ui_72x56.rgb444be
ff -i stripes.png -f rawvideo -pix_fmt rgb565le stripes_60x40.rgb565le
python3 -c "
import numpy, PIL.Image
(numpy.asarray(PIL.Image.open('rose.png').convert('RGB')) & 0xFC).tofile('rose_80x60.rgb666')"
head -c 9600 /dev/urandom > noise_9600.bin
rm -f mandel.png rose.png ui.png stripes.png
# A grey stone texture near noise (enlarged by pixel replication, then scaled unevenly): in rgb444 its
# clear top nibbles must not make every even row length line up, and in four bytes a pixel its
# padding must not read as every fourth pixel of a gray8 picture.
/usr/bin/convert -seed 6 -size 128x128 plasma:gray35-gray75 -attenuate 0.7 +noise Gaussian -scale 400% PNG24:stone.png
ff -i stone.png -vf scale=86:160:flags=bicubic -f rawvideo -pix_fmt rgb444le stone_86x160.rgb444le
ff -i stone.png -vf scale=49:66:flags=bicubic -f rawvideo -pix_fmt bgr0 stone_49x66.bgr0
rm -f stone.png
# Colour bars over a dark strip, scaled by ffmpeg's bicubic scaler: flat fills whose 16-bit bytes
# change alike at every edge (the byte order is told by the colours between an edge's sides, and
# pairs of words are no argb8888 pixel at half the width).
/usr/bin/convert -size 40x180 xc:'#bfbfbf' xc:'#bfbf00' xc:'#00bfbf' xc:'#00bf00' xc:'#bf00bf' xc:'#bf0000' \
  xc:'#0000bf' xc:black +append \( -size 320x60 xc:'#101010' -fill white -draw 'rectangle 40,10 120,50' \) \
  -append PNG24:bars.png
ff -i bars.png -vf scale=88:72:flags=bicubic -f rawvideo -pix_fmt rgb565le bars_88x72.rgb565le
ff -f lavfi -i testsrc=size=320x240 -frames:v 1 testsrc.png
ff -i testsrc.png -vf scale=120:90:flags=bicubic -f rawvideo -pix_fmt rgb565be testsrc_120x90.rgb565be
# A checkerboard, which lines up at every multiple of its squares: no width is sure.
/usr/bin/convert -size 160x120 pattern:checkerboard -fill '#3050a0' -opaque white PNG24:checks.png
ff -i checks.png -vf scale=96:64:flags=neighbor -f rawvideo -pix_fmt rgb24 checks_96x64.rgb24
rm -f bars.png testsrc.png checks.png
# A vertical gradient swirled, with grain, in rgb444 (which ffmpeg writes with ordered dither): read
# at twice its width it looks smoother than at its own, rows two apart sharing the dither, and its
# first and last columns match, so no seam shows. Its halves of a row alike, no width is sure.
/usr/bin/convert -size 640x480 gradient:teal-khaki -swirl -200 -seed 31 -attenuate 0.2 +noise Gaussian PNG24:twirl.png
ff -i twirl.png -vf scale=160:120:flags=bicubic -f rawvideo -pix_fmt rgb444le twirl_160x120.rgb444le
rm -f twirl.png
# A vertical gradient bent by a wave and an implosion, nearly alike along its rows: read at half its
# width, each row split in two, it reads smoother than at its own, and its rows run on into each
# other across the row's end. No width is sure.
/usr/bin/convert -size 640x480 gradient:crimson-skyblue -wave 40x320 -implode 0.6 PNG24:wave.png
ff -i wave.png -vf scale=128:160:flags=bicubic -frames:v 1 -pix_fmt rgb24 wave_128x160.png
ff -i wave_128x160.png -f rawvideo -pix_fmt gray wave_128x160.gray
rm -f wave.png wave_128x160.png
# A dark panel UI (the set maker's, at 135 x 240) in bgr565le: its flat fills change both bytes of a
# word alike, so that the bytes show no period of steps, yet each byte is nearer the same half of the
# next word than its neighbour; it once read as gray8 at twice its width.
/usr/bin/convert -size 135x240 xc:'#202428' -font DejaVu-Sans -pointsize 20 -fill '#3a7bd5' \
  -draw 'rectangle 0,0 135,40' -fill white -annotate +10+30 'Settings 12:45' \
  -fill '#2d3238' -stroke '#3a7bd5' -draw 'roundrectangle 10,60 125,98 6,6' -stroke none -fill white \
  -annotate +20+88 'Display' \
  -fill '#2d3238' -stroke '#f5a623' -draw 'roundrectangle 10,110 125,148 6,6' -stroke none -fill white \
  -annotate +20+138 'Network' \
  -fill '#2d3238' -stroke '#3a7bd5' -draw 'roundrectangle 10,160 125,198 6,6' -stroke none -fill white \
  -annotate +20+188 'Sound' \
  -fill '#3a7bd5' -draw 'rectangle 10,210 125,220' -fill '#f5a623' -draw 'rectangle 10,210 90,220' PNG24:ui_dark.png
ff -i ui_dark.png -f rawvideo -pix_fmt bgr565le ui_dark_135x240.bgr565le
rm -f ui_dark.png
# A tiled pattern, scaled so that it repeats every three pixels along its rows: every row length
# that is a multiple of the repeat lines up as well as the picture's own. No width is sure.
/usr/bin/convert -size 160x120 pattern:hs_diagcross -fill navy -opaque black PNG24:diagcross.png
ff -i diagcross.png -vf scale=60:45:flags=bicubic -f rawvideo -pix_fmt rgb565be diagcross_60x45.rgb565be
rm -f diagcross.png
# Bricks, a pattern whose rows repeat every few rows, scaled to 34 x 60: read as two of its rows
# side by side (68 x 30), its rows two apart are the same rows again, far more alike than the rows
# next to each other. No width is sure.
/usr/bin/convert -size 320x240 pattern:bricks -fill firebrick -opaque black PNG24:bricks.png
ff -i bricks.png -vf scale=34:60:flags=bicubic -f rawvideo -pix_fmt rgb24 bricks_34x60.rgb24
rm -f bricks.png
# The top 20 rows of a cross hatch scaled to 172 x 320, which repeats every 43 pixels along its
# rows: read as gray8 at 129 bytes a row (one repeat), each row lines up with the next, yet its
# bytes show the period of three that only a three-byte pixel makes. No width is sure.
/usr/bin/convert -size 640x480 pattern:crosshatch45 -fill darkgreen -opaque black PNG24:cross.png
ff -i cross.png -vf scale=172:320:flags=bicubic,crop=172:20:0:0 -f rawvideo -pix_fmt rgb24 crosshatch_172x20.rgb24
rm -f cross.png
# A colour lookup grid, whose neighbouring squares are more alike than its neighbouring rows: it reads
# smoothest at half its width (32 x 256), which no content refutes, but the whole panel lines up too.
ff -f lavfi -i haldclutsrc=level=6 -frames:v 1 hald.png
ff -i hald.png -vf scale=64:128:flags=bicubic -f rawvideo -pix_fmt rgb565le hald_64x128.rgb565le
rm -f hald.png
# A saw-toothed line whose rows repeat every few rows, in grey: it reads smoothest as rgb565 four of
# its rows side by side (90 x 20), every row of that reading alike; a strip of no panel's size is
# never sure.
/usr/bin/convert -size 640x480 pattern:horizontalsaw -fill '#2f4f4f' -opaque black PNG24:saw.png
ff -i saw.png -vf scale=45:80:flags=bicubic -f rawvideo -pix_fmt gray saw_45x80.gray
rm -f saw.png
# Every YUV colour, in blocks that each ramp, in dithered rgb565be: read at twice its width
# (256 x 80) it is smoother than at its own, rows two apart sharing the dither, but its own row
# length lines up there, so the wider reading is a multiple of it.
ff -f lavfi -i allyuv -frames:v 1 allyuv.png
ff -i allyuv.png -vf scale=128:160:flags=bicubic -f rawvideo -pix_fmt rgb565be allyuv_128x160.rgb565be
rm -f allyuv.png
# A dark grid with a filled box, drawn by lavfi and scaled to a panel's size (240 x 320), in dithered
# bgr565le: read as two of its rows side by side (480 x 160) it is smoother than at its own width,
# rows two apart sharing the dither, and its own rows line up only loosely. 240 x 320 is a panel
# whose rows line up at all, so no width of no panel's size is sure.
ff -f lavfi -i "color=c=0x102040:size=1280x720,drawgrid=w=80:h=60:t=2:c=0x60a0e0,drawbox=x=200:y=120:w=360:h=240:c=0xf0c020:t=fill,drawbox=x=700:y=300:w=400:h=300:c=0xc03040:t=8" \
  -frames:v 1 grid.png
ff -i grid.png -vf scale=240:320:flags=bicubic -frames:v 1 -pix_fmt rgb24 grid_240x320.png
ff -i grid_240x320.png -f rawvideo -pix_fmt bgr565le grid_240x320.bgr565le
rm -f grid.png grid_240x320.png
# Sand: Gaussian specks enlarged four times by pixel replication, then scaled to 200 x 150: close to
# noise, its blocks' edges fall every two or three columns, one of them on the column half a row in,
# where two rows of a narrower picture side by side would meet. Only a seam that jumps more than the
# block edges near it is one: the right layout ranked first, though no guess is made.
/usr/bin/convert -seed 3 -size 128x128 xc:tan -attenuate 2 +noise Gaussian -scale 400% PNG24:sand.png
ff -i sand.png -vf scale=200:150:flags=bicubic -f rawvideo -pix_fmt rgb565be sand_200x150.rgb565be
rm -f sand.png
# Specks in blocks four pixels wide and two rows tall, the first block row one tall: a quick look
# that took every second row would take each pair of rows across a block's edge, and the picture
# would read as noise at its own width. Rows and columns are sampled at varying places instead.
/usr/bin/convert -seed 9 -size 30x50 xc:olivedrab -attenuate 1.5 +noise Laplacian -scale 400%x200% \
  -crop 120x98+0+1 +repage PNG24:tiles.png
ff -i tiles.png -f rawvideo -pix_fmt rgb565le tiles_120x98.rgb565le
rm -f tiles.png
# Three flat colour bands in grey, scaled to 480 x 272: read as gray8 or as rgb888 at a third of the
# width, both readings are flat, and their scores (under 0.002) differ only by which few edges the
# sampled pixels met: no reading is sure.
/usr/bin/convert -size 300x200 xc:red xc:lime xc:blue +append PNG24:bands.png
ff -i bands.png -vf scale=480:272:flags=bicubic -f rawvideo -pix_fmt gray bands_480x272.gray
rm -f bands.png
# Bold condensed serif text on a dithered lavender ground, in rgb565be: which byte changes more
# often points to low byte first, the colours between an edge's sides to high byte first, and both
# orders were handicapped past the noise line; three bytes a pixel at two thirds of the width then
# came first, sure. Bytes two apart far nearer than neighbours make no three-byte pixel, and the
# handicaps that meet only set one order against the other. At 72 x 128, the right reading is
# handicapped past the noise line still: a picture but for its byte order's handicap, it is listed.
/usr/bin/convert -size 135x240 -background '#e6e6fa' -fill '#3b0a45' -font DejaVu-Serif-Condensed-Bold \
  -pointsize 20 "caption:alarm 3 at 06:30  snooze 9 min  volume 7/10  brightness auto  language english  update available: 3.1.4 (12.6 mb)  storage 14.2 gb of 32 gb used" \
  -flatten PNG24:lavender.png
ff -i lavender.png -f rawvideo -pix_fmt rgb565be lavender_135x240.rgb565be
/usr/bin/convert -size 72x128 -background '#e6e6fa' -fill '#3b0a45' -font DejaVu-Serif-Condensed-Bold \
  -pointsize 10 "caption:alarm 3 at 06:30  snooze 9 min  volume 7/10  brightness auto  language english  update available: 3.1.4 (12.6 mb)  storage 14.2 gb of 32 gb used" \
  -flatten PNG24:lavender.png
ff -i lavender.png -f rawvideo -pix_fmt rgb565be lavender_72x128.rgb565be
rm -f lavender.png
# Gradients with grain in dithered 16-bit words. Ordered dither adds to the steps to both neighbours
# and repeats two on, so two of a picture's rows side by side (the pixel below then at the same step
# of the dither) read smoother than the picture; with what the dither adds taken off, the picture's
# own width comes first: sure of the slanted one, not of the one whose rows are nearly alike, which
# any fraction of its width reads as well.
/usr/bin/convert -size 300x300 gradient:darkslateblue-khaki -distort SRT 25 -gravity center -crop 96x128+0+0 \
  +repage -seed 63 -attenuate 0.25 +noise Gaussian PNG24:dusk.png
ff -i dusk.png -f rawvideo -pix_fmt rgb444le dusk_96x128.rgb444le
/usr/bin/convert -size 96x128 gradient:navy-peachpuff -seed 41 -attenuate 0.2 +noise Gaussian -blur 0x0.8 \
  PNG24:dawn.png
ff -i dawn.png -f rawvideo -pix_fmt rgb565le dawn_96x128.rgb565le
# Coarse grey grain in dithered rgb444, close to noise: the dither, which repeats every four rows, is
# most of what differs, and two rows side by side would pass for a picture on the dither alone
# unless it is taken off the picture's own rows too, where it repeats four rows on.
/usr/bin/convert -seed 89 -size 60x48 xc:gray45 -attenuate 0.8 +noise Uniform -scale 600% PNG24:grain.png
ff -i grain.png -vf scale=96:128:flags=bicubic -f rawvideo -pix_fmt rgb444le grain_96x128.rgb444le
# Amber text and buttons on a dark UI in rgb565be, dithered: read low byte first, the dither in the
# low bits lands in high ones and repeats two on by far more than a step. Taken off whole, it made
# the wrong order come first.
/usr/bin/convert -size 240x240 'xc:#1a1200' -font DejaVu-Sans-Condensed -pointsize 20 -fill '#6b4a00' \
  -draw 'rectangle 0,0 240,40' -fill '#ffbf40' -annotate +10+30 'Settings 12:45' -fill '#2e2000' \
  -stroke '#6b4a00' -draw 'roundrectangle 10,60 230,98 6,6' -stroke none -fill '#ffbf40' -annotate +20+88 Display \
  -fill '#2e2000' -stroke '#ff6a00' -draw 'roundrectangle 10,110 230,148 6,6' -stroke none -fill '#ffbf40' \
  -annotate +20+138 Network -fill '#2e2000' -stroke '#6b4a00' -draw 'roundrectangle 10,160 230,198 6,6' \
  -stroke none -fill '#ffbf40' -annotate +20+188 Sound -fill '#6b4a00' -draw 'rectangle 10,210 230,220' \
  -fill '#ff6a00' -draw 'rectangle 10,210 160,220' PNG24:amber.png
ff -i amber.png -f rawvideo -pix_fmt rgb565be amber_240x240.rgb565be
rm -f dusk.png dawn.png grain.png amber.png
# Grey flecks and coarse grain, nearly flat, in dithered 16-bit words: the dither is most of what the
# pixels differ by, and every reading is noise until it is taken off where it repeats (two on in
# rgb565, four rows on in rgb444). Read at half its width, the coarse grain's rows four apart are its
# own rows two apart, and that reading came first where nothing told them from the dither.
/usr/bin/convert -seed 97 -size 48x64 xc:gray50 -attenuate 0.8 +noise Uniform -scale 400% PNG24:flecks.png
ff -i flecks.png -vf scale=96:128:flags=bicubic -f rawvideo -pix_fmt rgb565le flecks_96x128.rgb565le
/usr/bin/convert -seed 53 -size 40x32 xc:gray45 -attenuate 0.8 +noise Uniform -scale 600% PNG24:coarse.png
ff -i coarse.png -vf scale=120:160:flags=bicubic -f rawvideo -pix_fmt rgb444le coarse_120x160.rgb444le
/usr/bin/convert -seed 71 -size 80x64 xc:gray45 -attenuate 0.8 +noise Uniform -scale 600% PNG24:coarse.png
ff -i coarse.png -vf scale=240:320:flags=bicubic -frames:v 1 -pix_fmt rgb24 coarse240.png
ff -i coarse240.png -f rawvideo -pix_fmt rgb565le coarse_240x320.rgb565le
rm -f flecks.png coarse.png coarse240.png
