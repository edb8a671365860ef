// rgb565 probe --sheet: the best few readings of a dump drawn side by side in one PNG, so that a
// user sees which one is the picture rather than weighing percentages.
//
// Each reading is shrunk or enlarged (nearest pixel) to a common height of sheet_height pixels, or
// to sheet_widest pixels across when it is wider than that at that height, and captioned below in a
// built-in 5 x 7 pixel font with its rank, format, size and byte order ("1 RGB565 320x240 BE"; no
// order for a format that has none or whose order the content cannot tell). Readings stand left to
// right, best first, sheet_gap pixels apart on a dark grey ground; the caption sits on the ground.
// Alpha is not drawn: each pixel shows its colour as stored, so that a reading with an alpha byte
// looks like the others. The top row of the dump is drawn on top.
//
// The sheet is a PNG of 8-bit RGB samples written by the project's PNG writer; it replaces OUT only
// once it is complete.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "job/job.h"
#include "read/raw_probe.h"

inline constexpr std::uint32_t sheet_height = 160;
inline constexpr std::uint32_t sheet_widest = 480;
inline constexpr std::uint32_t sheet_gap = 8;
// The caption strip under each reading: a line of the 5 x 7 font with room above and below.
inline constexpr std::uint32_t sheet_caption = 12;
// How many readings a sheet shows at most.
inline constexpr std::size_t sheet_readings = 4;

// Draws the first sheet_readings of `guesses` of the dump at `dump` into the PNG at `sheet`.
Outcome draw_probe_sheet(const std::string& dump, std::span<const ProbeGuess> guesses, const std::string& sheet);
