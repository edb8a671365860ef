// The palette of an indexed format, chosen from the picture by median cut: the colours are counted
// band by band; a picture of no more colours than the palette holds gets exactly its colours, in
// ascending order of their B, G, R, A bytes read as a little-endian number; any other gets the
// median cut of its counts.
//
// Median cut here: each colour is counted in a cell of 5 bits of red, green and blue and 3 bits of
// alpha, a cell standing for its levels widened by repeating their bits (so that black, white and
// full transparency stay exact). All counted cells start in one box. While there are fewer boxes
// than entries, the box with the widest range on any channel (red, green, blue, alpha on a tie;
// the earliest box on a tie) that holds more than one cell is split on that channel where the
// count of its cells, in order of that channel then of the cell's number, first reaches half of
// the box's count. Each box's entry is the count-weighted mean of its cells, rounded half up; the
// entries keep the order of the boxes. Written for this program, under its MIT licence.
//
// A pixel's index is its colour's entry when the palette holds every colour of the picture, else the
// entry nearest (in the sum of squared channel differences, the first on a tie) to its cell.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "pixels/pixels.h"

class ColourCount {
 public:
  ColourCount();
  void add(std::span<const BgraQuad> quads);
  // The palette of at most `entries` colours.
  std::vector<BgraQuad> palette(unsigned entries) const;
  // Whether that palette holds every colour of the picture exactly.
  bool exact(unsigned entries) const { return !too_many_ && exact_.size() <= entries; }

 private:
  std::vector<std::uint32_t> cells_;
  // The picture's distinct colours while there are at most 256 of them, sorted.
  std::vector<std::uint32_t> exact_;
  bool too_many_ = false;
};

class PaletteIndex {
 public:
  // `exact` when the palette holds every colour that will be looked up: only then is a colour's
  // own entry searched for, where otherwise the cell's nearest entry is enough.
  PaletteIndex(std::span<const BgraQuad> palette, bool exact);
  std::uint8_t index_of(BgraQuad pixel) const;

 private:
  std::vector<BgraQuad> palette_;
  bool exact_palette_;
  std::vector<std::uint32_t> exact_;  // (colour, index) sorted by colour, packed as colour << 8 | index
  mutable std::vector<std::int16_t> cell_entry_;
};
