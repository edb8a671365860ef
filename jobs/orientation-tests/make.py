#!/usr/bin/python3
# The pictures of the orientation tests, written by Pillow: for each EXIF orientation 1 to 8, the
# same upright picture stored as a camera with that orientation stores it, with the tag in a PNG's
# eXIf chunk and in a JPEG's Exif APP1 segment. Laid upright, each must be the upright picture:
#   PNG, 5 x 3: pixel (x, y) is red 40x + 20, green 50y + 30, blue 77, alpha 255;
#   JPEG, 4 x 3 blocks of 8 x 8 pixels: block (x, y) is red 60x + 20, green 90y + 30, blue 128
#   (quality 100, no chroma subsampling, so each flat block decodes within a level or two).
# Each is checked here against Pillow's exif_transpose and, for the JPEGs, ImageMagick's
# -auto-orient. Run from this folder: /usr/bin/python3 make.py
import subprocess

from PIL import Image, ImageOps

# The transposition that stores the upright picture under each orientation: the inverse of the one
# a viewer applies to show it.
store = {
    1: None,
    2: Image.Transpose.FLIP_LEFT_RIGHT,
    3: Image.Transpose.ROTATE_180,
    4: Image.Transpose.FLIP_TOP_BOTTOM,
    5: Image.Transpose.TRANSPOSE,
    6: Image.Transpose.ROTATE_90,
    7: Image.Transpose.TRANSVERSE,
    8: Image.Transpose.ROTATE_270,
}


def png_upright():
    image = Image.new("RGB", (5, 3))
    for y in range(3):
        for x in range(5):
            image.putpixel((x, y), (40 * x + 20, 50 * y + 30, 77))
    return image


def jpeg_upright():
    image = Image.new("RGB", (32, 24))
    for y in range(24):
        for x in range(32):
            image.putpixel((x, y), (60 * (x // 8) + 20, 90 * (y // 8) + 30, 128))
    return image


def stored(upright, orientation):
    method = store[orientation]
    picture = upright if method is None else upright.transpose(method)
    exif = Image.Exif()
    exif[0x0112] = orientation
    return picture, exif


for orientation in range(1, 9):
    picture, exif = stored(png_upright(), orientation)
    name = f"orientation-{orientation}.png"
    picture.save(name, exif=exif.tobytes())
    assert list(ImageOps.exif_transpose(Image.open(name)).getdata()) == list(png_upright().getdata())

    picture, exif = stored(jpeg_upright(), orientation)
    name = f"orientation-{orientation}.jpg"
    picture.save(name, quality=100, subsampling=0, exif=exif.tobytes())
    shown = subprocess.run(["/usr/bin/convert", name, "-auto-orient", "rgb:-"], check=True,
                           capture_output=True).stdout
    upright = jpeg_upright().tobytes()
    assert len(shown) == len(upright)
    assert max(abs(a - b) for a, b in zip(shown, upright)) <= 3, orientation
