#!/bin/sh
# Makes the animated GIFs the GIF reader's tests read, and the frames ImageMagick composes of them
# (-coalesce), as raw RGBA one frame after another. Run from this folder; needs /usr/bin/convert.
set -e
IM=/usr/bin/convert
# Frames on a 12 x 10 screen: a full opaque first frame kept (disposal 1); a 4 x 4 frame at (2, 3)
# with a transparent hole, cleared afterwards (2); a 5 x 3 frame at (6, 1) whose area is put back
# as it was (3); and a 3 x 5 frame at (1, 4) of other colours, drawn last.
$IM -size 12x10 gradient:red-blue -colors 16 f1.png
$IM -size 4x4 xc:lime -fill none -draw "color 1,1 point" -draw "color 2,2 point" f2.png
$IM -size 5x3 pattern:checkerboard -fill yellow -opaque black -colors 4 f3.png
$IM -size 3x5 xc:magenta -fill cyan -draw "point 1,2" f4.png
$IM -dispose none -delay 10 -page 12x10+0+0 f1.png \
    -dispose background -delay 20 -page +2+3 f2.png \
    -dispose previous -delay 30 -page +6+1 f3.png \
    -dispose none -delay 40 -page +1+4 f4.png \
    -loop 0 disposals.gif
$IM disposals.gif -coalesce rgba:disposals.rgba
# An interlaced still picture, in one frame of the screen's size.
$IM -size 7x11 gradient:white-black -colors 8 -interlace GIF interlaced.gif
$IM interlaced.gif -coalesce rgba:interlaced.rgba
# A 16 x 12 animation of three frames for the containers' matrix: a full first frame, then two
# smaller ones at offsets, the first of them with a transparent pixel and cleared afterwards.
$IM -size 16x12 gradient:navy-orange -colors 32 m1.png
$IM -size 6x5 xc:white -fill none -draw "color 2,2 point" m2.png
$IM -size 4x7 xc:teal m3.png
$IM -dispose none -delay 5 -page 16x12+0+0 m1.png -dispose background -delay 7 -page +9+6 m2.png \
    -dispose none -delay 9 -page +1+2 m3.png matrix.gif
rm -f m1.png m2.png m3.png f1.png f2.png f3.png f4.png
