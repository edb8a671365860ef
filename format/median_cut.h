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
// entry nearest (in the sum of squared channel differences, the first on a tie) to its cell. Both
// are found through a table of the cells (and, for an exact palette, a small hash of its colours),
// so that each pixel costs a lookup, not a search.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "pixels/pixels.h"

class ColourCount {
 public:
  ColourCount();
  void add(std::span<const BgraQuad> quads);
  // The same for `count` opaque BGR triples; without `cells` only the colours themselves are told
  // (while there are few enough), not counted in their cells: a large picture's cells need counting
  // on a sample of its rows only, while a colour that appears once must still get its entry.
  void add_triples(const std::uint8_t* triples, std::uint32_t count, bool cells = true);
  // The palette of at most `entries` colours.
  std::vector<BgraQuad> palette(unsigned entries) const;
  // Whether that palette holds every colour of the picture exactly.
  bool exact(unsigned entries) const { return !too_many_ && exact_.size() <= entries; }

 private:
  std::vector<std::uint32_t> cells_;
  // The picture's distinct colours while there are at most 256 of them, sorted.
  std::vector<std::uint32_t> exact_;
  bool too_many_ = false;
  // For add_triples: a bit for each opaque colour already in exact_.
  std::vector<std::uint64_t> seen_;
};

class PaletteIndex {
 public:
  // `exact` when the palette holds every colour that will be looked up: only then is a colour's
  // own entry searched for, where otherwise the cell's nearest entry is enough.
  PaletteIndex(std::span<const BgraQuad> palette, bool exact);
  std::uint8_t index_of(BgraQuad pixel) const;
  // The indices of `width` opaque BGR triples.
  void index_triples(const std::uint8_t* triples, std::uint32_t width, std::uint8_t* indices) const;

 private:
  // The entry nearest the centre of `cell` (the first on a tie).
  std::uint8_t nearest_entry(std::uint32_t cell) const;

  std::vector<BgraQuad> palette_;
  bool exact_palette_;
  // For an exact palette, each entry's index + 1 at the slot its colour hashes to (or the next
  // free one); 0 for a free slot. Four times the most entries, so that probes stay short.
  std::array<std::uint16_t, 1024> colour_slots_{};
  // Each cell's entry: for an exact palette the entry whose colour it holds (-2 where two do), else
  // the entry nearest its centre, found when the cell is first met; -1 for none yet.
  mutable std::vector<std::int16_t> cell_entry_;
};
