// The 58-byte header of every BMP that Talvose writes, worked out by hand field by field, for the
// tests of the job and of the program.
#pragma once

#include <array>
#include <cstdint>

inline constexpr std::array<std::uint8_t, 58> fixed_frame_header_bytes{
    'B',  'M',                                       // signature
    0x8A, 0x61, 0x03, 0x00,                          // file size 221,578
    0x00, 0x00, 0x00, 0x00,                          // reserved
    0x3A, 0x00, 0x00, 0x00,                          // pixel data at 58
    0x28, 0x00, 0x00, 0x00,                          // information header of 40 bytes
    0x38, 0x02, 0x00, 0x00,                          // width 568
    0x82, 0x00, 0x00, 0x00,                          // height 130, bottom-up
    0x01, 0x00,                                      // planes
    0x18, 0x00,                                      // 24 bits per pixel
    0x00, 0x00, 0x00, 0x00,                          // no compression
    0x50, 0x61, 0x03, 0x00,                          // pixel data size 221,520
    0,    0,    0,    0,    0, 0, 0, 0, 0, 0, 0, 0,  // resolutions, colours used
    0,    0,    0,    0,                             // important colours
    0,    0,    0,    0,                             // the gap before the pixels
};
