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
// so that each pixel costs a lookup, not a search. Opaque colours, the only colours of most
// pictures, have a plane of their own 32768 cells (15 bits), small enough to stay in the cache.
#pragma once

#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <vector>

#include "pixels/pixels.h"

class ColourCount {
 public:
  // Counts for a palette of at most `entries` colours: the colours themselves are kept only while
  // there are no more than that, as a picture of more cannot have them exactly.
  explicit ColourCount(unsigned entries = 256);
  void add(std::span<const BgraQuad> quads);
  // The same for `count` opaque BGR triples; without `cells` only the colours themselves are told
  // (while there are few enough), not counted in their cells: a large picture's cells need counting
  // on a sample of its rows only, while a colour that appears once must still get its entry.
  void add_triples(const std::uint8_t* triples, std::uint32_t count, bool cells = true);
  // Whether the colours are still kept one by one: every row told from now on may still add the one
  // that decides whether the palette is exact. Once not, only the rows counted in cells matter.
  bool keeps_colours() const { return !too_many_; }
  // The palette of at most the entries the count was made for.
  std::vector<BgraQuad> palette() const;
  // Whether that palette holds every colour of the picture exactly.
  bool exact() const { return !too_many_; }

 private:
  // The counts of the cells, allocated when a quad is first counted; opaque triples are counted in
  // `opaque_` instead, one entry for each cell of full alpha, and merged when the palette is made.
  std::vector<std::uint32_t> cells_;
  std::vector<std::uint32_t> opaque_;
  // The picture's distinct colours while there are at most `entries_` of them, sorted.
  unsigned entries_;
  std::vector<std::uint32_t> exact_;
  bool too_many_ = false;
  // For add_triples: a byte for each opaque colour, 1 once it is in exact_.
  struct Free {
    void operator()(std::uint8_t* bytes) const { std::free(bytes); }
  };
  std::unique_ptr<std::uint8_t[], Free> seen_;
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
  // The entry of `cell` in its plane's table.
  std::int16_t& cell_entry(std::uint32_t cell) const;
  // The exact colour's entry, for a cell that holds two of the palette's colours.
  std::uint8_t colour_entry(std::uint32_t colour, std::uint32_t cell) const;

  std::vector<BgraQuad> palette_;
  bool exact_palette_;
  // The entries' channels side by side, padded to a multiple of 8 with entries far from any colour,
  // so that the search for the nearest runs 8 entries at a time.
  std::vector<std::int32_t> reds_, greens_, blues_, alphas_;
  // For an exact palette, each entry's colour (packed, low 32 bits) and index + 1 (above them) at
  // the slot its colour hashes to (or the next free one); 0 for a free slot. Four times the most
  // entries, so that probes stay short.
  std::array<std::uint64_t, 1024> colour_slots_{};
  // For an exact palette, a table for each opaque cell that holds two of its colours or more: the
  // entry of each opaque colour in it, found by the low 3 bits of red, green and blue (512 slots;
  // -1 where none is, to be searched). Table 0 holds none, for the cells without one.
  std::vector<std::int16_t> colour_tables_;
  // For an exact palette, the slots index_triples reads: 512 holding each entry at its own index (-1
  // past the last), then the colour tables (table t at 512 (t + 1)). And for each opaque cell, where
  // its colours' slots lie: the first slot above 9 bits that mask the colour's low bits, all 0 for a
  // cell of one entry (its own slot), all 1 for a cell of several (its table).
  std::vector<std::int16_t> exact_slots_;
  std::vector<std::uint32_t> exact_cells_;
  // Each cell's entry: for an exact palette the entry whose colour it holds (where two or more do,
  // -3 or less: in the opaque plane -2 - t, t the cell's colour table), else the entry nearest its
  // centre, found when the cell is first met; -2 for none yet. The cells of full alpha in
  // `opaque_entry_` (32768), the others in `cell_entry_`, allocated when first needed.
  mutable std::vector<std::int16_t> opaque_entry_;
  mutable std::vector<std::int16_t> cell_entry_;
};
