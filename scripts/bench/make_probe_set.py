#!/usr/bin/env python3
"""Makes dumps that other tools wrote, for measuring how well `rgb565 probe` guesses a layout.

Usage: make_probe_set.py FOLDER

Pictures that this project did not draw (ffmpeg's lavfi test sources, ImageMagick's built-in
pictures, text and simple UI mock-ups drawn by ImageMagick with the fonts on the machine) are sized
to panel sizes and odd sizes, and written as raw dumps by `ffmpeg -f rawvideo -pix_fmt F` in every
format the probe tries; numpy writes rgb666, which ffmpeg lacks. The pictures are split into sets
of different source pictures: `tune`, which the probe's constants were chosen on; `heldout`,
`fresh` and `unseen`, which they never were; `unseen2`, whose failures were looked at one by one, so
that it is seen and may be tuned on as well; `unseen3`, measured once and then looked at (its wrong
answers were made refusals), so that it may be tuned on too; `unseen4`, measured once and then
looked at in the same way, so that it may be tuned on as well; `unseen5`, measured once and then
looked at (its drawings whose first guess was wrong were grouped by what the guess got wrong, and
the ranking changed to put the true answer first), so that it may be tuned on too; and `unseen6`,
made once and measured once, at the end, then looked at (a rule was made against the wrong pictures
that the ranking's change added), so that it counts as seen as well; `unseen7`, made once and
measured once, at the end; `unseen8`, made once and measured once, at the end, then looked at, so
that it may be tuned on too; `unseen9`, made once and measured once, at the end, its one wrong
picture looked at since, so that it may be tuned on too; `unseen10`, made once and measured once,
at the end, so that it may be tuned on since; `unseen11`, made once and measured once, at the end,
so that it may be tuned on since; and `unseen12`, made once and measured once, at the end.
The figures reported are those of the sets the constants were not chosen on.

FOLDER/manifest.tsv lists each dump: path, width, height, the formats that are right for it
(argb8888 with an alpha byte of one value reads as xrgb8888 as well), byte order (le, be, or - when
the content cannot tell it), kind (photo or drawing), set and source picture. Existing dumps are
kept, so a second run only writes the manifest again.
"""
import os
import subprocess
import sys

import numpy as np
from PIL import Image

CONVERT = "/usr/bin/convert"  # ImageMagick itself: /usr/local/bin/convert may be a stand-in
FONT_SANS = "DejaVu-Sans"
FONT_SERIF = "DejaVu-Serif"
FONT_MONO = "DejaVu-Sans-Mono"

PANEL = [(128, 160), (240, 320), (320, 240), (480, 272), (800, 480), (240, 240), (135, 240), (172, 320),
         (1024, 600)]
ODD = [(317, 211), (203, 149), (401, 299), (97, 131)]
SIZES = PANEL + ODD

# ffmpeg's pixel format -> (the probe's format, byte order as the probe reads it, or "-" when the
# content cannot tell it). bgr565le is rgb565 with red and blue swapped, which no content tells.
FFMPEG_FORMATS = {
    "rgb565le": ("rgb565", "le"), "rgb565be": ("rgb565", "be"), "bgr565le": ("rgb565", "le"),
    "rgb444le": ("rgb444", "le"), "rgb444be": ("rgb444", "be"),
    "bgr24": ("rgb888", "-"), "rgb24": ("rgb888", "-"),
    "bgr0": ("xrgb8888", "le"), "0rgb": ("xrgb8888", "be"),
    "bgra": ("argb8888", "le"), "argb": ("argb8888", "be"),
    "gray": ("gray8", "-"),
}

# (name, kind, set, how it is made). Photographs and drawings on both sides of the split, no source
# picture on both.
TEXT_A = ("The quick brown fox jumps over the lazy dog. Settings  Wi-Fi  Bluetooth  Display  "
          "Battery 87%  12:45  Temperature 21.5 C  Humidity 48%  Pressure 1013 hPa")
TEXT_B = ("ERROR 0x3F: sensor timeout on channel 4. Retry in 5 s. Menu > Network > Static IP "
          "192.168.1.20  Gateway 192.168.1.1  Firmware v2.7.13 build 4411")
TEXT_D = ("Alarm 3 at 06:30  Snooze 9 min  Volume 7/10  Brightness auto  Language English  "
          "Update available: 3.1.4 (12.6 MB)  Storage 14.2 GB of 32 GB used")
TEXT_E = ("[  0.000] reset cause: watchdog\n[  0.012] spi1: flash id ef4018\n"
          "[  0.140] lcd: st7789 240x240 ok\n[  1.003] wifi: scan, 7 networks\n[  2.518] mqtt: connected")
TEXT_F = ("Channel 1  23.4 V  1.82 A  Channel 2  5.01 V  0.35 A  OVP off  Lock on  Preset M3  "
          "Logging every 250 ms to card (7.9 GB free)  Fan 2100 rpm")
TEXT_C = ("$ make flash\nCC main.o\nLD firmware.elf  text 48211  data 1204  bss 8812\n"
          "Writing 100% [==========] 0.4 s\nuart0: boot ok, heap 231 KiB free")
PICTURES = [
    ("testsrc2", "drawing", "tune", ("lavfi", "testsrc2=size=1280x720")),
    ("mandelbrot", "photo", "tune", ("lavfi", "mandelbrot=size=1280x720:end_pts=4")),
    ("rose", "photo", "tune", ("magick", ["rose:"])),
    ("plasma1", "photo", "tune", ("magick", ["-seed", "1", "-size", "640x480", "plasma:fractal"])),
    ("logo", "drawing", "tune", ("magick", ["logo:"])),
    ("text_a", "drawing", "tune", ("text", (FONT_SANS, "white", "black", TEXT_A))),
    ("ui_dark", "drawing", "tune", ("ui", "dark")),
    ("stripes", "drawing", "tune", ("magick", ["-size", "300x200", "xc:red", "xc:lime", "xc:blue", "+append"])),
    ("smptebars", "drawing", "heldout", ("lavfi", "smptebars=size=1280x720")),
    ("testsrc", "drawing", "heldout", ("lavfi", "testsrc=size=1280x720")),
    ("granite", "photo", "heldout", ("magick", ["granite:", "-scale", "400%"])),
    ("plasma7", "photo", "heldout",
     ("magick", ["-seed", "7", "-size", "640x480", "plasma:tomato-steelblue", "-blur", "0x1"])),
    ("gradients", "photo", "heldout", ("lavfi", "gradients=size=1280x720:seed=3:nb_colors=5")),
    ("wizard", "drawing", "heldout", ("magick", ["wizard:"])),
    ("netscape", "drawing", "heldout", ("magick", ["netscape:"])),
    ("text_b", "drawing", "heldout", ("text", (FONT_SERIF, "gray90", "navy", TEXT_B))),
    ("ui_light", "drawing", "heldout", ("ui", "light")),
    # Added after the first measurement: a photograph with a camera's grain for tuning, and a second
    # held-out set, "fresh", measured once, at the end.
    ("rose_grain", "photo", "tune",
     ("magick", ["-seed", "5", "rose:", "-resize", "640x480!", "-attenuate", "0.5", "+noise", "Gaussian"])),
    # Added while making the probe refuse noise-like textures: two of them for tuning, neither the
    # held-out one (coloured specks enlarged by pixel replication, then scaled like the rest).
    ("sand", "photo", "tune",
     ("magick", ["-seed", "3", "-size", "128x128", "xc:tan", "-attenuate", "2", "+noise", "Gaussian", "-scale",
                 "400%"])),
    ("static", "photo", "tune",
     ("magick", ["-seed", "4", "-size", "200x150", "xc:gray60", "+noise", "Random", "-blur", "0x0.6", "-scale",
                 "320%"])),
    ("plasma42_grain", "photo", "fresh",
     ("magick", ["-seed", "42", "-size", "640x480", "plasma:fractal", "-attenuate", "0.4", "+noise", "Gaussian"])),
    ("radial_grain", "photo", "fresh",
     ("magick", ["-seed", "9", "-size", "640x480", "radial-gradient:khaki-navy", "-attenuate", "0.3", "+noise",
                 "Gaussian"])),
    ("pal75bars", "drawing", "fresh", ("lavfi", "pal75bars=size=1280x720")),
    ("rgbtestsrc", "drawing", "fresh", ("lavfi", "rgbtestsrc=size=1280x720")),
    ("text_c", "drawing", "fresh", ("text", (FONT_MONO, "black", "lime", TEXT_C))),
    # A third texture for tuning, grey stone with milder grain (last, so that the sizes of the
    # pictures above stay as they were).
    ("gravel", "photo", "tune",
     ("magick", ["-seed", "6", "-size", "128x128", "plasma:gray35-gray75", "-attenuate", "0.7", "+noise",
                 "Gaussian", "-scale", "400%"])),
    # Added to reproduce the held-out misses in the tuning set with other pictures of their kind:
    # flat patches of a few colours (16-bit byte order), and colour bars drawn by ImageMagick (a
    # panel-sized frame of flat bars read at half its width in four bytes a pixel).
    ("colorchart", "drawing", "tune", ("lavfi", "colorchart=patch_size=64x64:preset=reference")),
    ("bars_im", "drawing", "tune",
     ("magick", ["-size", "80x330", "xc:#bfbfbf", "xc:#bfbf00", "xc:#00bfbf", "xc:#00bf00", "xc:#bf00bf",
                 "xc:#bf0000", "xc:#0000bf", "xc:black", "+append", "(", "-size", "640x150", "xc:#101010", ")",
                 "-append"])),
    ("checks", "drawing", "tune",
     ("magick", ["-size", "480x360", "pattern:checkerboard", "-fill", "#3050a0", "-opaque", "white"])),
    # The third held-out set, "unseen": source pictures no other set uses, made once and measured
    # once, after the changes they were meant to check.
    ("yuvtestsrc", "drawing", "unseen", ("lavfi", "yuvtestsrc=size=1280x720")),
    ("smptehdbars", "drawing", "unseen", ("lavfi", "smptehdbars=size=1280x720")),
    ("pal100bars", "drawing", "unseen", ("lavfi", "pal100bars=size=1280x720")),
    ("life", "drawing", "unseen", ("lavfi", "life=size=320x240:seed=11:ratio=0.3:mold=8")),
    ("sierpinski", "drawing", "unseen", ("lavfi", "sierpinski=size=1280x720:seed=5")),
    ("hexagons", "drawing", "unseen", ("magick", ["-size", "640x480", "pattern:hexagons"])),
    ("text_d", "drawing", "unseen",
     ("text", ("DejaVu-Serif-Condensed-Italic", "ivory", "maroon", TEXT_A[::-1]))),
    ("text_e", "drawing", "unseen", ("text", ("DejaVu-Sans-Bold-Oblique", "#102030", "orange", TEXT_B.upper()))),
    ("colorspectrum", "photo", "unseen", ("lavfi", "colorspectrum=size=1280x720:type=all")),
    ("plasma13_grain", "photo", "unseen",
     ("magick", ["-seed", "13", "-size", "640x480", "plasma:fractal", "-blur", "0x2", "-attenuate", "0.3", "+noise",
                 "Gaussian"])),
    ("swirl", "photo", "unseen",
     ("magick", ["-size", "640x480", "gradient:gold-purple", "-swirl", "270", "-seed", "17", "-attenuate", "0.2",
                 "+noise", "Gaussian"])),
    ("plasma29", "photo", "unseen", ("magick", ["-seed", "29", "-size", "640x480", "plasma:seagreen-salmon"])),
    # Added to reproduce the unseen set's failures in the tuning set with other pictures of their
    # kind: gradients bent by a swirl and a wave, bold and oblique text in other fonts, and more
    # noise enlarged by pixel replication.
    ("twirl", "photo", "tune",
     ("magick", ["-size", "640x480", "gradient:teal-khaki", "-swirl", "-200", "-seed", "31", "-attenuate", "0.2",
                 "+noise", "Gaussian"])),
    ("wave", "photo", "tune",
     ("magick", ["-size", "640x480", "gradient:crimson-skyblue", "-wave", "40x320", "-implode", "0.6"])),
    ("text_f", "drawing", "tune",
     ("text", ("DejaVu-Sans-Condensed-Bold-Oblique", "white", "#202020", TEXT_C.upper()))),
    ("text_g", "drawing", "tune", ("text", ("DejaVu-Serif-Bold-Italic", "#f0e8d0", "black", TEXT_A))),
    ("pebbles", "photo", "tune",
     ("magick", ["-seed", "8", "-size", "96x72", "plasma:sienna-wheat", "-attenuate", "1.2", "+noise", "Laplacian",
                 "-scale", "500%"])),
    ("specks", "photo", "tune",
     ("magick", ["-seed", "12", "-size", "160x120", "xc:gray50", "-attenuate", "0.8", "+noise", "Uniform", "-scale",
                 "400%"])),
    # The fourth held-out set, "unseen2": source pictures no other set uses, measured once, at the end.
    ("cellauto", "drawing", "unseen2", ("lavfi", "cellauto=size=320x240:rule=110:seed=21:random_fill_ratio=0.5")),
    ("zoneplate", "drawing", "unseen2",
     ("lavfi", "nullsrc=size=1280x720,geq=r='128+127*sin((X*X+Y*Y)/900)':g='128+127*sin((X*X+Y*Y)/1400)'"
               ":b='128+127*cos(X*Y/3000)',format=rgb24")),
    ("dunes", "photo", "unseen2",
     ("magick", ["-seed", "95", "-size", "640x480", "plasma:wheat-peru", "-blur", "0x5", "-implode", "-0.5"])),
    ("bricks", "drawing", "unseen2",
     ("magick", ["-size", "640x480", "pattern:bricks", "-fill", "firebrick", "-opaque", "black"])),
    ("crosshatch", "drawing", "unseen2",
     ("magick", ["-size", "640x480", "pattern:crosshatch45", "-fill", "darkgreen", "-opaque", "black"])),
    ("plasma51", "photo", "unseen2", ("magick", ["-seed", "51", "-size", "640x480", "plasma:fractal", "-blur", "0x3"])),
    ("plasma64_grain", "photo", "unseen2",
     ("magick", ["-seed", "64", "-size", "640x480", "plasma:orchid-darkolivegreen", "-attenuate", "0.25", "+noise",
                 "Poisson"])),
    ("noise_blocks", "photo", "unseen2",
     ("magick", ["-seed", "77", "-size", "200x150", "xc:", "+noise", "Random", "-scale", "300%"])),
    ("mixed", "photo", "unseen2",
     ("magick", ["-size", "640x480", "radial-gradient:white-darkblue", "(", "-seed", "90", "-size", "640x480",
                 "plasma:fractal", "-blur", "0x4", ")", "-compose", "blend", "-define", "compose:args=50",
                 "-composite"])),
    ("text_h", "drawing", "unseen2", ("text", ("DejaVu-Sans-Mono-Bold", "#fffbe6", "darkred", TEXT_B))),
    ("text_i", "drawing", "unseen2",
     ("text", ("DejaVu-Serif-Condensed-Bold", "steelblue", "white", TEXT_C.replace("\n", " ")))),
    ("text_j", "drawing", "unseen2", ("text", ("DejaVu-Sans-ExtraLight", "black", "gold", TEXT_A.lower()))),
    # Added to reproduce the unseen2 set's failures in the tuning set with other tiled patterns: each
    # repeats along its rows with a period that many row lengths share, tiled at several sizes
    # before it is scaled, and a small tile drawn by hand and tiled.
    ("diagcross", "drawing", "tune",
     ("magick", ["-size", "640x480", "pattern:hs_diagcross", "-fill", "navy", "-opaque", "black"])),
    ("shingles", "drawing", "tune",
     ("magick", ["-size", "320x240", "pattern:leftshingle", "-fill", "sienna", "-opaque", "black"])),
    ("fishscales", "drawing", "tune",
     ("magick", ["-size", "640x480", "pattern:smallfishscales", "-fill", "teal", "-opaque", "white"])),
    ("circles", "drawing", "tune",
     ("magick", ["-size", "1280x960", "pattern:circles", "-fill", "purple", "-opaque", "black"])),
    ("hs_cross", "drawing", "tune",
     ("magick", ["-size", "480x360", "pattern:hs_cross", "-fill", "darkorange", "-opaque", "black"])),
    ("tiles", "drawing", "tune",
     ("magick", ["-size", "20x20", "xc:khaki", "-fill", "olive", "-draw", "rectangle 0,0 9,9", "-fill", "maroon",
                 "-draw", "circle 15,15 15,12", "-write", "mpr:tile", "+delete", "-size", "640x480",
                 "tile:mpr:tile"])),
    # The fifth held-out set, "unseen3": source pictures no other set uses (other test sources and
    # parameters, other patterns, plasma seeds, fonts, texts and UI colours), measured once, at the end.
    ("mptest", "drawing", "unseen3", ("lavfi", "mptestsrc=test=freq_chroma")),
    ("haldclut", "drawing", "unseen3", ("lavfi", "haldclutsrc=level=6")),
    ("octagons", "drawing", "unseen3",
     ("magick", ["-size", "640x480", "pattern:octagons", "-fill", "slateblue", "-opaque", "black"])),
    ("vbricks", "drawing", "unseen3",
     ("magick", ["-size", "480x360", "pattern:verticalbricks", "-fill", "#8b5a2b", "-opaque", "black", "-fill",
                 "#f0e0c0", "-opaque", "white"])),
    ("text_k", "drawing", "unseen3", ("text", ("DejaVu-Sans-Condensed-Oblique", "#fdf6e3", "#073642", TEXT_D))),
    ("text_l", "drawing", "unseen3", ("text", ("DejaVu-Sans-Mono-Oblique", "#0c0c0c", "#33ff66", TEXT_E))),
    ("ui_amber", "drawing", "unseen3", ("ui", "amber")),
    ("ui_mint", "drawing", "unseen3", ("ui", "mint")),
    ("gradients_radial", "photo", "unseen3", ("lavfi", "gradients=size=1280x720:seed=8:nb_colors=4:type=radial")),
    ("mandel_deep", "photo", "unseen3",
     ("lavfi", "mandelbrot=size=1280x720:start_x=-0.7435:start_y=0.1314:start_scale=0.02:end_pts=1")),
    ("plasma101", "photo", "unseen3",
     ("magick", ["-seed", "101", "-size", "640x480", "plasma:navy-gold", "-blur", "0x2"])),
    ("plasma202_paint", "photo", "unseen3",
     ("magick", ["-seed", "202", "-size", "640x480", "plasma:fractal", "-paint", "3"])),
    ("plasma303_grain", "photo", "unseen3",
     ("magick", ["-seed", "303", "-size", "640x480", "plasma:lightcoral-darkslategray", "-blur", "0x1",
                 "-attenuate", "0.35", "+noise", "Multiplicative"])),
    # The sixth held-out set, "unseen4": source pictures no other set uses (other test sources and
    # parameters, other patterns, plasma seeds, fonts, texts and UI colours), made once and measured
    # once, at the end.
    ("allrgb", "drawing", "unseen4", ("lavfi", "allrgb")),
    ("cellauto30", "drawing", "unseen4", ("lavfi", "cellauto=size=320x240:rule=30:seed=44:random_fill_ratio=0.2")),
    ("saw", "drawing", "unseen4",
     ("magick", ["-size", "640x480", "pattern:horizontalsaw", "-fill", "#2f4f4f", "-opaque", "black"])),
    ("rshingles", "drawing", "unseen4",
     ("magick", ["-size", "480x360", "pattern:verticalrightshingle", "-fill", "indigo", "-opaque", "black",
                 "-fill", "lightyellow", "-opaque", "white"])),
    ("text_m", "drawing", "unseen4",
     ("text", ("DejaVu-Serif-Condensed-Bold-Italic", "#eeeeee", "#1b5e20", TEXT_E.replace("\n", "  ")))),
    ("text_n", "drawing", "unseen4", ("text", ("DejaVu-Sans-Mono-Bold-Oblique", "#000080", "#ffff99", TEXT_D))),
    ("ui_ocean", "drawing", "unseen4", ("ui", "ocean")),
    ("spiral", "photo", "unseen4", ("lavfi", "gradients=size=1280x720:seed=21:nb_colors=6:type=spiral")),
    ("rings", "photo", "unseen4",
     ("lavfi", "nullsrc=size=1280x720,geq=r='128+100*sin(hypot(X-640,Y-360)/37)':g='128+90*cos(X/211)'"
               ":b='128+110*sin(Y/97+X/300)',format=rgb24")),
    ("plasma404", "photo", "unseen4", ("magick", ["-seed", "404", "-size", "640x480", "plasma:peru-cadetblue"])),
    ("plasma505_grain", "photo", "unseen4",
     ("magick", ["-seed", "505", "-size", "640x480", "plasma:fractal", "-blur", "0x3", "-attenuate", "0.5",
                 "+noise", "Impulse"])),
    ("vignette", "photo", "unseen4",
     ("magick", ["-seed", "606", "-size", "640x480", "plasma:lavender-darkslateblue", "-blur", "0x6",
                 "-vignette", "0x60"])),
    # The seventh held-out set, "unseen5": source pictures no other set uses (another test source,
    # other patterns, plasma seeds, fonts, texts and UI colours), made once and measured once, at the
    # end.
    ("allyuv", "drawing", "unseen5", ("lavfi", "allyuv")),
    ("vsaw", "drawing", "unseen5",
     ("magick", ["-size", "640x480", "pattern:verticalsaw", "-fill", "#5d1a1a", "-opaque", "black"])),
    ("fdiagonal", "drawing", "unseen5",
     ("magick", ["-size", "480x360", "pattern:hs_fdiagonal", "-fill", "darkgreen", "-opaque", "black", "-fill",
                 "mistyrose", "-opaque", "white"])),
    ("text_o", "drawing", "unseen5", ("text", ("DejaVu-Sans-Bold", "#1e1e1e", "#e0e0e0", TEXT_F))),
    ("text_p", "drawing", "unseen5", ("text", ("DejaVu-Serif-Italic", "#fafad2", "#4b0082", TEXT_F.upper()))),
    ("ui_sunset", "drawing", "unseen5", ("ui", "sunset")),
    ("plasma707", "photo", "unseen5",
     ("magick", ["-seed", "707", "-size", "640x480", "plasma:fractal", "-blur", "0x1.5"])),
    ("plasma808_grain", "photo", "unseen5",
     ("magick", ["-seed", "808", "-size", "640x480", "plasma:darkkhaki-midnightblue", "-attenuate", "0.6",
                 "+noise", "Gaussian"])),
    ("ripples", "photo", "unseen5",
     ("lavfi", "nullsrc=size=1280x720,geq=r='128+120*sin(X/53+sin(Y/71)*2)':g='128+80*sin(hypot(X-300,Y-500)/29)'"
               ":b='128+100*cos(Y/41-X/170)',format=rgb24")),
    ("wavy_gradient", "photo", "unseen5",
     ("magick", ["-size", "640x480", "gradient:olivedrab-hotpink", "-wave", "25x180", "-resize", "640x480!"])),
    ("radial_plasma", "photo", "unseen5",
     ("magick", ["-size", "640x480", "radial-gradient:orange-black", "(", "-seed", "909", "-size", "640x480",
                 "plasma:fractal", "-blur", "0x2", ")", "-compose", "blend", "-define", "compose:args=40",
                 "-composite"])),
    # The eighth held-out set, "unseen6": source pictures no other set uses (a grid and a chart
    # drawn as a panel would, banded gradients, another pattern, fonts, texts and UI colours, other
    # gradients and textures), made once and measured once, at the end.
    ("grid", "drawing", "unseen6",
     ("lavfi", "color=c=0x102040:size=1280x720,drawgrid=w=80:h=60:t=2:c=0x60a0e0,"
               "drawbox=x=200:y=120:w=360:h=240:c=0xf0c020:t=fill,drawbox=x=700:y=300:w=400:h=300:c=0xc03040:t=8")),
    ("chart", "drawing", "unseen6",
     ("magick", ["-size", "640x480", "xc:white", "-fill", "#4472c4", "-draw", "rectangle 60,300 130,440",
                 "-fill", "#ed7d31", "-draw", "rectangle 170,180 240,440", "-fill", "#a5a5a5",
                 "-draw", "rectangle 280,240 350,440", "-fill", "#ffc000", "-draw", "rectangle 390,90 460,440",
                 "-fill", "#5b9bd5", "-draw", "rectangle 500,210 570,440", "-stroke", "black", "-draw",
                 "line 40,440 600,440", "-draw", "line 40,40 40,440"])),
    ("bands", "drawing", "unseen6",
     ("magick", ["-size", "480x640", "gradient:darkcyan-lightpink", "-rotate", "90", "-posterize", "6"])),
    ("left30", "drawing", "unseen6",
     ("magick", ["-size", "480x360", "pattern:left30", "-fill", "#000066", "-opaque", "black", "-fill",
                 "#ccffcc", "-opaque", "white"])),
    ("text_q", "drawing", "unseen6",
     ("text", ("DejaVu-Serif-Condensed", "#f5f5dc", "#8b0000", TEXT_D.replace("  ", "\n")))),
    ("text_r", "drawing", "unseen6", ("text", ("DejaVu-Sans-Condensed-Bold", "#003333", "#66ffcc", TEXT_F.lower()))),
    ("ui_forest", "drawing", "unseen6", ("ui", "forest")),
    ("gradients_circular", "photo", "unseen6", ("lavfi", "gradients=size=1280x720:seed=33:nb_colors=5:type=circular")),
    ("plasma1111_motion", "photo", "unseen6",
     ("magick", ["-seed", "1111", "-size", "640x480", "plasma:fractal", "-motion-blur", "0x12+30"])),
    ("clouds", "photo", "unseen6",
     ("magick", ["-seed", "1212", "-size", "320x240", "xc:", "+noise", "Random", "-blur", "0x6", "-normalize",
                 "-resize", "640x480"])),
    ("plasma1313_grain", "photo", "unseen6",
     ("magick", ["-seed", "1313", "-size", "640x480", "plasma:slategray-bisque", "-blur", "0x1", "-attenuate",
                 "0.4", "+noise", "Laplacian"])),
    ("blobs", "photo", "unseen6",
     ("lavfi", "nullsrc=size=1280x720,geq=r='128+110*sin(X/89)*cos(Y/67)':g='128+100*sin((X+Y)/143)'"
               ":b='128+90*cos(hypot(X-900,Y-200)/61)',format=rgb24")),
    # The ninth held-out set, "unseen7": source pictures no other set uses (another test source, a
    # line chart and a status screen drawn as a panel would, other patterns, fonts, texts and UI
    # colours, other gradients and textures), made once and measured once, at the end.
    ("rings_test", "drawing", "unseen7", ("lavfi", "mptestsrc=test=ring2")),
    ("linechart", "drawing", "unseen7",
     ("magick", ["-size", "640x480", "xc:#f8f8f8", "-stroke", "#c0c0c0", "-draw", "line 40,120 620,120",
                 "-draw", "line 40,240 620,240", "-draw", "line 40,360 620,360", "-stroke", "#1f77b4",
                 "-strokewidth", "3", "-fill", "none", "-draw",
                 "polyline 40,400 110,310 180,350 250,200 320,260 390,140 460,180 530,90 600,130",
                 "-stroke", "#d62728", "-draw", "polyline 40,300 110,330 180,280 250,300 320,380 390,340 460,400"
                 " 530,360 600,420"])),
    ("status", "drawing", "unseen7",
     ("lavfi", "color=c=0x000000:size=1280x720,drawbox=x=0:y=0:w=1280:h=90:c=0x2050a0:t=fill,"
               "drawbox=x=60:y=160:w=520:h=220:c=0x30c060:t=fill,drawbox=x=700:y=160:w=520:h=220:c=0xe04030:t=6,"
               "drawbox=x=60:y=460:w=1160:h=60:c=0x404040:t=fill,drawbox=x=60:y=460:w=700:h=60:c=0xffd000:t=fill")),
    ("right45", "drawing", "unseen7",
     ("magick", ["-size", "480x360", "pattern:right45", "-fill", "#5a2d82", "-opaque", "black", "-fill",
                 "#fff5e1", "-opaque", "white"])),
    ("text_s", "drawing", "unseen7", ("text", ("DejaVu-Sans-Mono", "#fefefe", "#4a148c", TEXT_F))),
    ("text_t", "drawing", "unseen7",
     ("text", ("DejaVu-Serif-Bold-Italic", "#202a20", "#e8ffe8", TEXT_E.replace("\n", " | ")))),
    ("ui_rose", "drawing", "unseen7", ("ui", "rose")),
    ("spectrum_black", "photo", "unseen7", ("lavfi", "colorspectrum=size=1280x720:type=black")),
    ("plasma1515_grain", "photo", "unseen7",
     ("magick", ["-seed", "1515", "-size", "640x480", "plasma:darkorange-teal", "-blur", "0x2", "-attenuate",
                 "0.45", "+noise", "Gaussian"])),
    ("tilted", "photo", "unseen7",
     ("magick", ["-size", "800x800", "gradient:navy-gold", "-distort", "SRT", "35", "-gravity", "center",
                 "-crop", "640x480+0+0", "+repage", "-seed", "1616", "-attenuate", "0.15", "+noise", "Gaussian"])),
    ("mist", "photo", "unseen7",
     ("magick", ["-seed", "1717", "-size", "160x120", "xc:", "+noise", "Random", "-blur", "0x3", "-normalize",
                 "-resize", "640x480", "-modulate", "100,60"])),
    ("interference", "photo", "unseen7",
     ("lavfi", "nullsrc=size=1280x720,geq=r='128+100*sin(hypot(X-200,Y-150)/23)*cos(Y/120)'"
               ":g='128+110*sin(X/77-Y/133)':b='128+90*sin(hypot(X-1000,Y-600)/47)',format=rgb24")),
    # The tenth held-out set, "unseen8": source pictures no other set uses (another test source, a
    # gauge drawn as a panel would, another pattern, a font, a text and UI colours, other gradients,
    # and grainy textures made as `sand` was, of other noise kinds, seeds, colours and enlargements),
    # made once and measured once, at the end.
    ("yuvtestsrc", "drawing", "unseen8", ("lavfi", "yuvtestsrc=size=1280x720")),
    ("gauge", "drawing", "unseen8",
     ("magick", ["-size", "640x480", "xc:#101820", "-fill", "none", "-stroke", "#3c4b5a", "-strokewidth", "24",
                 "-draw", "arc 170,90 470,390 150,390", "-stroke", "#00c8a0", "-draw", "arc 170,90 470,390 150,300",
                 "-stroke", "none", "-fill", "#f0f0f0", "-draw", "rectangle 260,400 380,440"])),
    ("hexagons", "drawing", "unseen8",
     ("magick", ["-size", "480x360", "pattern:hexagons", "-fill", "#7a3b00", "-opaque", "black", "-fill",
                 "#e6f0ff", "-opaque", "white"])),
    ("text_u", "drawing", "unseen8",
     ("text", ("DejaVu-Sans-Condensed-Oblique", "#ffffff", "#00334d", TEXT_C.replace("\n", "  ")))),
    ("ui_slate", "drawing", "unseen8", ("ui", "slate")),
    ("speckle", "photo", "unseen8",
     ("magick", ["-seed", "2121", "-size", "96x96", "xc:olivedrab", "-attenuate", "1.5", "+noise", "Laplacian",
                 "-scale", "500%"])),
    ("dust", "photo", "unseen8",
     ("magick", ["-seed", "2222", "-size", "160x120", "xc:slateblue", "-attenuate", "3", "+noise", "Poisson",
                 "-scale", "300%"])),
    ("grit", "photo", "unseen8",
     ("magick", ["-seed", "2323", "-size", "240x180", "plasma:sienna-wheat", "-attenuate", "1.2", "+noise",
                 "Multiplicative", "-scale", "200%"])),
    ("coarse", "photo", "unseen8",
     ("magick", ["-seed", "2424", "-size", "80x64", "xc:gray45", "-attenuate", "0.8", "+noise", "Uniform",
                 "-scale", "600%"])),
    ("plasma2525", "photo", "unseen8",
     ("magick", ["-seed", "2525", "-size", "640x480", "plasma:mediumpurple-yellowgreen", "-blur", "0x2"])),
    ("swirls", "photo", "unseen8",
     ("lavfi", "nullsrc=size=1280x720,geq=r='128+110*sin(X/61+cos(Y/83)*3)':g='128+90*cos(hypot(X-640,Y-100)/53)'"
               ":b='128+100*sin((X-Y)/97)',format=rgb24")),
    ("dawn", "photo", "unseen8",
     ("magick", ["-size", "640x480", "gradient:midnightblue-lightsalmon", "-seed", "2626", "-attenuate", "0.2",
                 "+noise", "Gaussian", "-blur", "0x0.8"])),
    # The eleventh held-out set, "unseen9": source pictures no other set uses (another pattern and
    # chart, colour patches of skin tones, a font, a text and UI colours, other gradients and
    # grainy textures, coarse ones among them), made once and measured once, at the end.
    ("bricks", "drawing", "unseen9",
     ("magick", ["-size", "480x360", "pattern:bricks", "-fill", "#8b2e16", "-opaque", "black", "-fill",
                 "#d9c7a7", "-opaque", "white"])),
    ("barchart", "drawing", "unseen9",
     ("magick", ["-size", "640x480", "xc:white", "-stroke", "#333333", "-draw", "line 60,420 610,420",
                 "-draw", "line 60,40 60,420", "-stroke", "none", "-fill", "#4e79a7", "-draw",
                 "rectangle 90,260 160,420", "-fill", "#f28e2b", "-draw", "rectangle 190,150 260,420", "-fill",
                 "#e15759", "-draw", "rectangle 290,310 360,420", "-fill", "#76b7b2", "-draw",
                 "rectangle 390,90 460,420", "-fill", "#59a14f", "-draw", "rectangle 490,200 560,420"])),
    ("skintones", "drawing", "unseen9", ("lavfi", "colorchart=patch_size=48x48:preset=skintones")),
    ("text_w", "drawing", "unseen9",
     ("text", ("DejaVu-Serif-Condensed-Bold", "#e6e6fa", "#3b0a45", TEXT_D.lower()))),
    ("ui_plum", "drawing", "unseen9", ("ui", "plum")),
    ("pebble", "photo", "unseen9",
     ("magick", ["-seed", "2727", "-size", "100x75", "xc:burlywood", "-attenuate", "1.1", "+noise", "Gaussian",
                 "-scale", "450%"])),
    ("clods", "photo", "unseen9",
     ("magick", ["-seed", "2828", "-size", "64x48", "plasma:saddlebrown-khaki", "-attenuate", "0.9", "+noise",
                 "Uniform", "-scale", "700%"])),
    ("fog", "photo", "unseen9",
     ("magick", ["-seed", "2929", "-size", "200x150", "xc:", "+noise", "Random", "-blur", "0x4", "-normalize",
                 "-resize", "640x480", "-fill", "steelblue", "-tint", "60"])),
    ("plasma3030", "photo", "unseen9",
     ("magick", ["-seed", "3030", "-size", "640x480", "plasma:crimson-lightcyan", "-blur", "0x1.5"])),
    ("waves", "photo", "unseen9",
     ("lavfi", "nullsrc=size=1280x720,geq=r='128+100*sin(X/47+sin(Y/59)*2)':g='128+110*cos(Y/71-X/113)'"
               ":b='128+80*sin(hypot(X-300,Y-500)/37)',format=rgb24")),
    ("dusk_grain", "photo", "unseen9",
     ("magick", ["-size", "800x800", "gradient:darkslategray-gold", "-distort", "SRT", "-20", "-gravity",
                 "center", "-crop", "640x480+0+0", "+repage", "-seed", "3131", "-attenuate", "0.35", "+noise",
                 "Gaussian"])),
    # The twelfth held-out set, "unseen10": source pictures no other set uses (another test source,
    # pattern and table drawn as a panel would, a text and UI colours, other gradients and grainy
    # textures, coarse ones among them), made once and measured once, at the end.
    ("mptest_cbp", "drawing", "unseen10", ("lavfi", "mptestsrc=test=cbp")),
    ("fishscales", "drawing", "unseen10",
     ("magick", ["-size", "480x360", "pattern:fishscales", "-fill", "#0d3b66", "-opaque", "black", "-fill",
                 "#faf0ca", "-opaque", "white"])),
    ("table", "drawing", "unseen10",
     ("magick", ["-size", "640x480", "xc:#fdfdfd", "-fill", "#dfe7ef", "-draw", "rectangle 0,0 640,60",
                 "-stroke", "#9aa5b1", "-draw", "line 0,60 640,60", "-draw", "line 0,160 640,160", "-draw",
                 "line 0,260 640,260", "-draw", "line 0,360 640,360", "-draw", "line 220,0 220,480", "-draw",
                 "line 430,0 430,480", "-stroke", "none", "-fill", "#1b1f23", "-font", "DejaVu-Sans-Bold",
                 "-pointsize", "28", "-annotate", "+20+42", "Sensor", "-annotate", "+240+42", "Value",
                 "-annotate", "+450+42", "Limit", "-font", "DejaVu-Sans", "-annotate", "+20+120", "temp",
                 "-annotate", "+240+120", "41.7 C", "-annotate", "+450+120", "85 C", "-annotate", "+20+220",
                 "fan", "-annotate", "+240+220", "2210 rpm", "-annotate", "+450+220", "4000", "-fill", "#c62828",
                 "-annotate", "+20+320", "supply", "-annotate", "+240+320", "11.2 V", "-annotate", "+450+320",
                 "11.5 V"])),
    ("text_x", "drawing", "unseen10",
     ("text", ("DejaVu-Sans-ExtraLight", "#fffbe6", "#5c3d00", TEXT_B.upper()))),
    ("ui_teal", "drawing", "unseen10", ("ui", "teal")),
    ("gravel", "photo", "unseen10",
     ("magick", ["-seed", "3232", "-size", "120x90", "xc:darkseagreen", "-attenuate", "1.3", "+noise", "Gaussian",
                 "-scale", "350%"])),
    ("mottle", "photo", "unseen10",
     ("magick", ["-seed", "3333", "-size", "90x68", "plasma:rosybrown-lightsteelblue", "-attenuate", "1.0",
                 "+noise", "Multiplicative", "-scale", "500%"])),
    ("haze", "photo", "unseen10",
     ("magick", ["-seed", "3434", "-size", "240x180", "xc:", "+noise", "Random", "-blur", "0x5", "-normalize",
                 "-resize", "640x480", "-fill", "darkorange", "-tint", "50"])),
    ("plasma3535", "photo", "unseen10",
     ("magick", ["-seed", "3535", "-size", "640x480", "plasma:teal-peachpuff", "-blur", "0x1"])),
    ("ripples", "photo", "unseen10",
     ("lavfi", "nullsrc=size=1280x720,geq=r='128+90*sin(hypot(X-640,Y-360)/29)':g='128+100*cos(X/83+Y/151)'"
               ":b='128+110*sin(Y/43-cos(X/97)*2)',format=rgb24")),
    ("sunrise_grain", "photo", "unseen10",
     ("magick", ["-size", "800x800", "gradient:indigo-orange", "-distort", "SRT", "15", "-gravity", "center",
                 "-crop", "640x480+0+0", "+repage", "-seed", "3636", "-attenuate", "0.3", "+noise", "Gaussian"])),
    # The thirteenth held-out set, "unseen11": source pictures no other set uses (a colour test
    # source, a shingle pattern, a gauge drawn as a panel would, a text and UI colours, a tiled grainy
    # texture, other gradients and grainy textures), made once and measured once, at the end.
    ("rgbtest_bars", "drawing", "unseen11", ("lavfi", "pal100bars,hue=h=90")),
    ("shingles", "drawing", "unseen11",
     ("magick", ["-size", "480x360", "pattern:rightshingle", "-fill", "#3d405b", "-opaque", "black", "-fill",
                 "#f4f1de", "-opaque", "white"])),
    ("gauge", "drawing", "unseen11",
     ("magick", ["-size", "640x480", "xc:#101418", "-fill", "none", "-stroke", "#2c3440", "-strokewidth", "28",
                 "-draw", "arc 120,80 520,480 150,390", "-stroke", "#4caf50", "-draw", "arc 120,80 520,480 150,300",
                 "-stroke", "#ff5252", "-strokewidth", "6", "-draw", "line 320,280 440,190", "-stroke", "none",
                 "-fill", "#eceff1", "-font", "DejaVu-Sans-Condensed-Bold", "-pointsize", "64", "-annotate",
                 "+255+400", "72%", "-pointsize", "26", "-annotate", "+265+445", "battery"])),
    ("text_y", "drawing", "unseen11",
     ("text", ("DejaVu-Sans-Oblique", "#0f2027", "#9ae6b4", TEXT_F))),
    ("ui_copper", "drawing", "unseen11", ("ui", "copper")),
    ("stucco", "photo", "unseen11",
     ("magick", ["-seed", "3737", "-size", "96x96", "xc:lightgray", "-attenuate", "0.7", "+noise", "Laplacian",
                 "-blur", "0x0.7", "-write", "mpr:tile", "+delete", "-size", "640x480", "tile:mpr:tile"])),
    ("lichen", "photo", "unseen11",
     ("magick", ["-seed", "3838", "-size", "110x82", "plasma:olivedrab-lightgoldenrodyellow", "-attenuate", "1.2",
                 "+noise", "Impulse", "-scale", "400%", "-blur", "0x0.6"])),
    ("mist", "photo", "unseen11",
     ("magick", ["-seed", "3939", "-size", "180x135", "xc:", "+noise", "Random", "-blur", "0x3", "-normalize",
                 "-resize", "640x480", "-fill", "slateblue", "-tint", "40"])),
    ("plasma4040", "photo", "unseen11",
     ("magick", ["-seed", "4040", "-size", "640x480", "plasma:firebrick-palegreen", "-blur", "0x1.2"])),
    ("interference", "photo", "unseen11",
     ("lavfi", "nullsrc=size=1280x720,geq=r='128+100*sin(hypot(X-200,Y-200)/31)*cos(hypot(X-1000,Y-500)/41)'"
               ":g='128+90*sin(X/57-Y/89)':b='128+110*cos(hypot(X-640,Y-700)/23)',format=rgb24")),
    ("noon_grain", "photo", "unseen11",
     ("magick", ["-size", "800x800", "gradient:lightskyblue-darkgreen", "-distort", "SRT", "-35", "-gravity",
                 "center", "-crop", "640x480+0+0", "+repage", "-seed", "4141", "-attenuate", "0.25", "+noise",
                 "Gaussian"])),
    # The fourteenth held-out set, "unseen12": source pictures no other set uses (a test source, a
    # cross-hatch pattern, a line chart drawn as a panel would, a text and UI colours, coarse and fine
    # grey grain, other gradients and grainy textures), made once and measured once, at the end.
    ("mptest_amp", "drawing", "unseen12", ("lavfi", "mptestsrc=test=amp_chroma")),
    ("crosshatch", "drawing", "unseen12",
     ("magick", ["-size", "480x360", "pattern:crosshatch30", "-fill", "#1d3557", "-opaque", "black", "-fill",
                 "#f1faee", "-opaque", "white"])),
    ("linechart", "drawing", "unseen12",
     ("magick", ["-size", "640x480", "xc:#fbfbf8", "-stroke", "#c8c8c8", "-draw", "line 50,100 620,100", "-draw",
                 "line 50,220 620,220", "-draw", "line 50,340 620,340", "-stroke", "#222222", "-strokewidth", "2",
                 "-draw", "line 50,440 620,440", "-draw", "line 50,40 50,440", "-fill", "none", "-stroke",
                 "#e63946", "-strokewidth", "4", "-draw",
                 "polyline 60,400 140,330 220,360 300,210 380,250 460,140 540,180 610,90", "-stroke", "#457b9d",
                 "-draw", "polyline 60,300 140,320 220,280 300,300 380,330 460,290 540,310 610,260", "-stroke",
                 "none", "-fill", "#222222", "-font", "DejaVu-Sans", "-pointsize", "22", "-annotate", "+60+30",
                 "Load (kW) last 8 h"])),
    ("text_z", "drawing", "unseen12",
     ("text", ("DejaVu-Sans-Mono-Bold", "#f7f7f7", "#7a0019", TEXT_E))),
    ("ui_indigo", "drawing", "unseen12", ("ui", "indigo")),
    ("sandstone", "photo", "unseen12",
     ("magick", ["-seed", "4242", "-size", "160x120", "xc:tan", "-attenuate", "0.8", "+noise", "Poisson",
                 "-modulate", "100,40", "-scale", "400%"])),
    ("ash", "photo", "unseen12",
     ("magick", ["-seed", "4343", "-size", "640x480", "xc:gray55", "-attenuate", "0.6", "+noise", "Gaussian",
                 "-colorspace", "Gray", "-blur", "0x0.5"])),
    ("dune", "photo", "unseen12",
     ("magick", ["-seed", "4444", "-size", "210x160", "xc:", "+noise", "Random", "-blur", "0x6", "-normalize",
                 "-resize", "640x480", "-fill", "sandybrown", "-tint", "70"])),
    ("plasma4545", "photo", "unseen12",
     ("magick", ["-seed", "4545", "-size", "640x480", "plasma:navy-khaki", "-blur", "0x0.9"])),
    ("moire", "photo", "unseen12",
     ("lavfi", "nullsrc=size=1280x720,geq=r='128+110*sin(hypot(X-900,Y-100)/19)':g='128+100*cos(X/67+Y/79)'"
               ":b='128+90*sin(hypot(X-100,Y-650)/27)',format=rgb24")),
    ("evening_grain", "photo", "unseen12",
     ("magick", ["-size", "800x800", "gradient:maroon-lightyellow", "-distort", "SRT", "50", "-gravity",
                 "center", "-crop", "640x480+0+0", "+repage", "-seed", "4646", "-attenuate", "0.3", "+noise",
                 "Gaussian"])),
]


def run(command):
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL)


def text_picture(path, size, font, background, ink, words):
    width, height = size
    point = max(7, height // 12)
    run([CONVERT, "-size", f"{width}x{height}", "-background", background, "-fill", ink, "-font", font,
         "-pointsize", str(point), f"caption:{words}", "-flatten", f"PNG24:{path}"])


# A panel UI's colours: background, title bar, button, ink and accent.
UI_SCHEMES = {
    "dark": ("#202428", "#3a7bd5", "#2d3238", "white", "#f5a623"),
    "light": ("#f4f4f0", "#e0e0e0", "#ffffff", "#202020", "#2e9d4f"),
    "amber": ("#1a1200", "#6b4a00", "#2e2000", "#ffbf40", "#ff6a00"),
    "mint": ("#e8f5ef", "#1f8a70", "#d0ebe0", "#0b3d2e", "#c0392b"),
    "ocean": ("#0b2545", "#13315c", "#134074", "#eef4ed", "#8da9c4"),
    "sunset": ("#fff1e6", "#e76f51", "#f4a261", "#264653", "#2a9d8f"),
    "forest": ("#14281d", "#355834", "#6e633d", "#f1f7ed", "#c2a878"),
    "rose": ("#2b0f1a", "#8e2a4f", "#4a1a2c", "#ffe4ec", "#ffb000"),
    "slate": ("#2f3640", "#718093", "#353b48", "#f5f6fa", "#e1b12c"),
    "plum": ("#faf5ff", "#6a1b9a", "#ede7f6", "#1a0033", "#00897b"),
    "teal": ("#003b46", "#07575b", "#004d57", "#e0f7fa", "#ffca28"),
    "copper": ("#2a1a12", "#b87333", "#3e2519", "#fbe9e7", "#80deea"),
    "indigo": ("#1a1446", "#3f37c9", "#2b2370", "#f0efff", "#4cc9f0"),
}


def ui_picture(path, size, scheme):
    """A panel's screen: a title bar, buttons with labels, a list or a progress bar, anti-aliased
    text, drawn at the panel's own size as its firmware would."""
    width, height = size
    unit = max(6, height // 12)
    back, bar, button, ink, accent = UI_SCHEMES[scheme]
    font = {"dark": FONT_SANS, "light": FONT_MONO, "amber": "DejaVu-Sans-Condensed", "mint": "DejaVu-Serif",
            "ocean": "DejaVu-Sans-Oblique", "sunset": "DejaVu-Serif-Bold",
            "forest": "DejaVu-Sans-Condensed-Oblique", "rose": "DejaVu-Serif-Condensed-Italic",
            "slate": "DejaVu-Sans-Mono-Oblique", "plum": "DejaVu-Serif-Condensed",
            "teal": "DejaVu-Sans-Bold-Oblique", "copper": "DejaVu-Serif-Italic",
            "indigo": "DejaVu-Sans-Condensed-Bold"}[scheme]
    draw = [CONVERT, "-size", f"{width}x{height}", f"xc:{back}", "-font", font,
            "-pointsize", str(unit), "-fill", bar, "-draw", f"rectangle 0,0 {width},{unit * 2}",
            "-fill", ink, "-annotate", f"+{unit // 2}+{unit * 3 // 2}", "Settings 12:45"]
    y = unit * 3
    for i, label in enumerate(["Display", "Network", "Sound", "About"]):
        if y + unit * 2 > height:
            break
        draw += ["-fill", button, "-stroke", accent if i == 1 else bar,
                 "-draw", f"roundrectangle {unit // 2},{y} {width - unit // 2},{y + unit * 2 - 2} {unit // 3},{unit // 3}",
                 "-stroke", "none", "-fill", ink, "-annotate", f"+{unit}+{y + unit * 3 // 2 - 2}", label]
        y += unit * 2 + unit // 2
    if y + unit < height:
        draw += ["-fill", bar, "-draw", f"rectangle {unit // 2},{y} {width - unit // 2},{y + unit // 2}",
                 "-fill", accent, "-draw", f"rectangle {unit // 2},{y} {width * 2 // 3},{y + unit // 2}"]
    run(draw + [f"PNG24:{path}"])


def source_picture(folder, name, recipe, size):
    """The picture at `size` as an RGB PNG, sized by ffmpeg's bicubic scaler where it is not drawn
    at that size."""
    kind, what = recipe
    path = os.path.join(folder, f"{name}_{size[0]}x{size[1]}.png")
    if os.path.exists(path):
        return path
    if kind == "text":
        text_picture(path, size, *what)
        return path
    if kind == "ui":
        ui_picture(path, size, what)
        return path
    base = os.path.join(folder, f"{name}_base.png")
    if not os.path.exists(base):
        if kind == "lavfi":
            run(["ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", what, "-frames:v", "1", base])
        else:
            run([CONVERT] + what + [f"PNG24:{base}"])
    run(["ffmpeg", "-v", "error", "-y", "-i", base, "-vf", f"scale={size[0]}:{size[1]}:flags=bicubic",
         "-frames:v", "1", "-pix_fmt", "rgb24", path])
    return path


def main():
    folder = sys.argv[1]
    pictures = os.path.join(folder, "pictures")
    os.makedirs(pictures, exist_ok=True)
    rows = []
    for index, (name, kind, which, recipe) in enumerate(PICTURES):
        # Each picture at every other size (a different half for neighbours), so that the set stays
        # a few hundred megabytes yet every size meets every kind of picture.
        sizes = [s for i, s in enumerate(SIZES) if (i + index) % 2 == 0]
        for size in sizes:
            picture = source_picture(pictures, name, recipe, size)
            stem = os.path.join(folder, which, f"{name}_{size[0]}x{size[1]}")
            os.makedirs(os.path.dirname(stem), exist_ok=True)
            outputs = []
            for pix_fmt in FFMPEG_FORMATS:
                out = f"{stem}.{pix_fmt}"
                if not os.path.exists(out):
                    outputs += ["-f", "rawvideo", "-pix_fmt", pix_fmt, out]
            if outputs:
                run(["ffmpeg", "-v", "error", "-y", "-i", picture] + outputs)
            rgb = np.asarray(Image.open(picture).convert("RGB"), dtype=np.uint8)
            out = f"{stem}.rgb666"
            if not os.path.exists(out):
                (rgb & 0xFC).tofile(out)
            for pix_fmt, (probe_format, order) in list(FFMPEG_FORMATS.items()) + [("rgb666", ("rgb666", "-"))]:
                right = probe_format
                if probe_format == "argb8888":
                    # An opaque picture's alpha byte is one value throughout: no content tells it
                    # from padding.
                    right = "argb8888,xrgb8888"
                rows.append("\t".join([f"{stem}.{pix_fmt}", str(size[0]), str(size[1]), right, order, kind, which,
                                       name, pix_fmt]))
    with open(os.path.join(folder, "manifest.tsv"), "w") as manifest:
        manifest.write("\n".join(rows) + "\n")
    print(f"{len(rows)} dumps in {folder}")


if __name__ == "__main__":
    main()
