// A picture's EXIF orientation: how the camera held it, which tells a viewer how to turn and mirror
// the stored pixels to show them upright. It is a tag (0x0112) of the first image file directory of
// a TIFF structure, which a JPEG carries in an APP1 segment that starts "Exif\0\0", a PNG in its
// eXIf chunk, and a TIFF file is itself. Its values 1 to 8 are the eight ways a rectangle can lie:
// 1 upright, 2 mirrored left to right, 3 turned half way, 4 mirrored top to bottom, 5 mirrored about
// the diagonal from the top left, 6 turned a quarter anticlockwise (so a quarter clockwise makes it
// upright), 7 mirrored about the other diagonal, 8 turned a quarter clockwise.
//
// Everything is read from the bytes themselves, both byte orders of TIFF, and every offset and
// count is checked against the bytes there are before it is followed. A structure that is damaged,
// cut short or says nothing gives 1: a viewer then shows the stored pixels, and so does pack.
#pragma once

#include <cstdint>
#include <span>

#include "files/byte_windows.h"

// The orientation that a TIFF structure (from its "II*\0" or "MM\0*" header on) records in its
// first directory, 1 to 8; 1 when it records none or cannot be read.
std::uint8_t exif_orientation(std::span<const std::uint8_t> tiff);

// The orientation of the picture file in `file`: a JPEG's first Exif APP1 segment before its scan,
// a PNG's first eXIf chunk (before or after its pixels), a TIFF file's own first directory; 1 for
// any other file, or when the file's bytes cannot be had (the reader that decodes it then says
// why). It reads only the headers it walks: a segment's or chunk's length and type, and the EXIF
// block itself.
std::uint8_t picture_orientation(ByteWindows& file);
