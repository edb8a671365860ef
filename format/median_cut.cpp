#include "format/median_cut.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>
#include <tuple>

#include "format/levels.h"
#include "format/palette_cells.h"

namespace {

constexpr std::size_t cell_count = std::size_t{1} << 18;
constexpr std::size_t opaque_cell_count = std::size_t{1} << 15;
// A cell's entry when none is known yet: -2 - 0, so that its colour table is table 0, of no colour.
constexpr std::int16_t no_entry = -2;

// A colour's slot in its opaque cell's colour table: the low 3 bits of red, green and blue.
std::uint32_t low_bits_of(std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
  return (red & 7) << 6 | (green & 7) << 3 | (blue & 7);
}

// An opaque BGR triple as B | G << 8 | R << 16, read in one load (the processors this runs on are
// little-endian): a byte must follow the triple.
std::uint32_t rgb_of(const std::uint8_t* triple) {
  std::uint32_t word;
  std::memcpy(&word, triple, 4);
  return word & 0xFFFFFF;
}

// The same for the last triple of a row, which may end the memory it lies in.
std::uint32_t last_rgb_of(const std::uint8_t* triple) {
  return std::uint32_t{triple[0]} | std::uint32_t{triple[1]} << 8 | std::uint32_t{triple[2]} << 16;
}

std::uint32_t packed(BgraQuad pixel) {
  return std::uint32_t{pixel.blue} | std::uint32_t{pixel.green} << 8 | std::uint32_t{pixel.red} << 16 |
         std::uint32_t{pixel.alpha} << 24;
}

BgraQuad unpacked(std::uint32_t colour) {
  return {static_cast<std::uint8_t>(colour), static_cast<std::uint8_t>(colour >> 8),
          static_cast<std::uint8_t>(colour >> 16), static_cast<std::uint8_t>(colour >> 24)};
}

// A slot of PaletteIndex's colour table: the colour's bits mixed (Fibonacci hashing), top ten.
std::size_t colour_hash(std::uint32_t colour) { return (colour * 2654435769u) >> 22; }

std::uint32_t cell_of(BgraQuad pixel) {
  return std::uint32_t{pixel.red} >> 3 << 13 | std::uint32_t{pixel.green} >> 3 << 8 |
         std::uint32_t{pixel.blue} >> 3 << 3 | std::uint32_t{pixel.alpha} >> 5;
}

// A cell's channels as 8-bit values, in the order red, green, blue, alpha: each level's bits
// repeated, as levels.h widens them.
std::array<unsigned, 4> cell_colour(std::uint32_t cell) {
  const auto five = [](unsigned level) { return level << 3 | level >> 2; };
  const unsigned alpha = cell & 7;
  return {five(cell >> 13 & 31), five(cell >> 8 & 31), five(cell >> 3 & 31), alpha << 5 | alpha << 2 | alpha >> 1};
}

struct Box {
  std::vector<std::uint32_t> cells;
  std::uint64_t count = 0;
  // The channel of widest range and that range, kept from when the box was made (see widest()).
  int channel = 0;
  unsigned range = 0;
};

// The channel of widest range and that range; a box of one cell has range 0.
std::pair<int, unsigned> widest(const Box& box) {
  std::array<unsigned, 4> low{255, 255, 255, 255}, high{};
  for (std::uint32_t cell : box.cells) {
    const std::array<unsigned, 4> colour = cell_colour(cell);
    for (int c = 0; c < 4; ++c) low[c] = std::min(low[c], colour[c]), high[c] = std::max(high[c], colour[c]);
  }
  int best = 0;
  for (int c = 1; c < 4; ++c) {
    if (high[c] - low[c] > high[best] - low[best]) best = c;
  }
  return {best, high[best] - low[best]};
}

BgraQuad mean_of(const Box& box, std::span<const std::uint32_t> counts) {
  std::array<std::uint64_t, 4> sums{};
  for (std::uint32_t cell : box.cells) {
    const std::array<unsigned, 4> colour = cell_colour(cell);
    for (int c = 0; c < 4; ++c) sums[c] += std::uint64_t{colour[c]} * counts[cell];
  }
  const auto mean = [&](int c) { return static_cast<std::uint8_t>((2 * sums[c] + box.count) / (2 * box.count)); };
  return {mean(2), mean(1), mean(0), mean(3)};
}

}  // namespace

ColourCount::ColourCount(unsigned entries) : opaque_(opaque_cell_count, 0), entries_(entries) {}

void ColourCount::add(std::span<const BgraQuad> quads) {
  if (cells_.empty()) cells_.assign(cell_count, 0);
  std::uint32_t last = 0;
  bool have_last = false;
  for (const BgraQuad& pixel : quads) {
    ++cells_[cell_of(pixel)];
    if (too_many_) continue;
    const std::uint32_t colour = packed(pixel);
    if (have_last && colour == last) continue;
    last = colour, have_last = true;
    const auto at = std::lower_bound(exact_.begin(), exact_.end(), colour);
    if (at != exact_.end() && *at == colour) continue;
    if (exact_.size() == entries_) {
      too_many_ = true;
      exact_.clear();
      continue;
    }
    exact_.insert(at, colour);
  }
}

void ColourCount::add_triples(const std::uint8_t* triples, std::uint32_t count, bool cells) {
  if (cells) {
    const OpaqueCells cells_of = opaque_cells_kernel();
    std::array<std::uint16_t, 64> stretch;
    for (std::uint32_t start = 0; start < count; start += stretch.size()) {
      const auto n = std::min(static_cast<std::uint32_t>(stretch.size()), count - start);
      cells_of(triples + std::size_t{start} * 3, n, stretch.data(), nullptr);
      for (std::uint32_t k = 0; k < n; ++k) ++opaque_[stretch[k]];
    }
  }
  if (too_many_ || count == 0) return;
  // Opaque colours seen so far, a byte each, allocated untouched: only the pages of colours met are
  // ever written, and a colour already seen costs one load, not a search.
  if (!seen_) seen_.reset(static_cast<std::uint8_t*>(std::calloc(std::size_t{1} << 24, 1)));
  if (!seen_) throw std::bad_alloc();
  const std::uint8_t* seen = seen_.get();
  const auto known = [&](std::uint32_t rgb) { return seen[rgb]; };
  // Whether the colour was told, false when it is one too many.
  const auto tell = [&](std::uint32_t rgb) {
    if (seen_[rgb] != 0) return true;
    seen_[rgb] = 1;
    const std::uint32_t colour = rgb | std::uint32_t{255} << 24;
    const auto at = std::lower_bound(exact_.begin(), exact_.end(), colour);
    if (at != exact_.end() && *at == colour) return true;
    if (exact_.size() == entries_) {
      too_many_ = true;
      exact_.clear();
      seen_.reset();
      return false;
    }
    exact_.insert(at, colour);
    return true;
  };
  // Four colours tested at once, so that a row of colours all seen before, the common case, costs a
  // branch for four; the row's last pixel alone, as it may end the memory it lies in.
  std::uint32_t k = 0;
  for (; k + 4 < count; k += 4) {
    const std::uint8_t* four = triples + std::size_t{k} * 3;
    const std::uint32_t a = rgb_of(four), b = rgb_of(four + 3), c = rgb_of(four + 6), d = rgb_of(four + 9);
    if ((known(a) & known(b) & known(c) & known(d)) != 0) continue;
    if (!tell(a) || !tell(b) || !tell(c) || !tell(d)) return;
  }
  for (; k < count; ++k) {
    const std::uint8_t* triple = triples + std::size_t{k} * 3;
    if (!tell(k + 1 < count ? rgb_of(triple) : last_rgb_of(triple))) return;
  }
}

std::vector<BgraQuad> ColourCount::palette() const {
  std::vector<BgraQuad> palette;
  if (!too_many_) {
    for (std::uint32_t colour : exact_) palette.push_back(unpacked(colour));
    return palette;
  }
  std::vector<std::uint32_t> counts = cells_;
  counts.resize(cell_count, 0);
  for (std::size_t cell = 0; cell < opaque_cell_count; ++cell) counts[cell << 3 | 7] += opaque_[cell];
  std::vector<Box> boxes(1);
  for (std::uint32_t cell = 0; cell < cell_count; ++cell) {
    if (counts[cell] == 0) continue;
    boxes[0].cells.push_back(cell);
    boxes[0].count += counts[cell];
  }
  std::tie(boxes[0].channel, boxes[0].range) = widest(boxes[0]);
  while (boxes.size() < entries_) {
    int chosen = -1;
    for (std::size_t b = 0; b < boxes.size(); ++b) {
      if (boxes[b].cells.size() < 2) continue;
      if (chosen < 0 || boxes[b].range > boxes[static_cast<std::size_t>(chosen)].range) chosen = static_cast<int>(b);
    }
    if (chosen < 0) break;
    Box& box = boxes[static_cast<std::size_t>(chosen)];
    // In order of the channel's level, then of the cell's number.
    const unsigned shift[4] = {13, 8, 3, 0}, mask[4] = {31, 31, 31, 7};
    const int channel = box.channel;
    std::sort(box.cells.begin(), box.cells.end(), [&](std::uint32_t a, std::uint32_t b) {
      const unsigned level_a = a >> shift[channel] & mask[channel], level_b = b >> shift[channel] & mask[channel];
      return level_a != level_b ? level_a < level_b : a < b;
    });
    std::uint64_t seen = 0;
    std::size_t split = 1;
    for (std::size_t k = 0; k + 1 < box.cells.size(); ++k) {
      seen += counts[box.cells[k]];
      split = k + 1;
      if (2 * seen >= box.count) break;
    }
    Box upper;
    upper.cells.assign(box.cells.begin() + static_cast<std::ptrdiff_t>(split), box.cells.end());
    box.cells.resize(split);
    for (std::uint32_t cell : upper.cells) upper.count += counts[cell];
    box.count -= upper.count;
    std::tie(box.channel, box.range) = widest(box);
    std::tie(upper.channel, upper.range) = widest(upper);
    boxes.push_back(std::move(upper));
  }
  for (const Box& box : boxes) {
    if (box.count != 0) palette.push_back(mean_of(box, counts));
  }
  return palette;
}

PaletteIndex::PaletteIndex(std::span<const BgraQuad> palette, bool exact)
    : palette_(palette.begin(), palette.end()),
      exact_palette_(exact),
      colour_tables_(512, -1),
      opaque_entry_(opaque_cell_count, no_entry) {
  // Far enough from every level that a padding entry is never the nearest, near enough that its
  // squared distance, shifted to make room for the index, stays within 31 bits.
  constexpr std::int32_t far = 1000;
  const std::size_t padded = (palette_.size() + 7) / 8 * 8;
  reds_.assign(padded, far), greens_.assign(padded, far), blues_.assign(padded, far), alphas_.assign(padded, far);
  for (std::size_t k = 0; k < palette_.size(); ++k) {
    reds_[k] = palette_[k].red, greens_[k] = palette_[k].green, blues_[k] = palette_[k].blue;
    alphas_[k] = palette_[k].alpha;
  }
  // With an exact palette a cell that holds one entry's colour names that entry outright, since no
  // other colour is looked up; a cell that holds two is marked to be searched.
  if (exact_palette_) {
    // An opaque colour in its cell's colour table, if the cell has one.
    const auto tell = [&](std::int16_t entry, std::size_t k) {
      const BgraQuad& colour = palette_[k];
      if (colour.alpha != 255) return;
      const std::size_t table = static_cast<std::size_t>(-2 - entry) * 512;
      colour_tables_[table + low_bits_of(colour.red, colour.green, colour.blue)] = static_cast<std::int16_t>(k);
    };
    for (std::size_t k = 0; k < palette_.size(); ++k) {
      const std::uint32_t cell = cell_of(palette_[k]);
      std::int16_t& entry = cell_entry(cell);
      if (entry == no_entry) {
        entry = static_cast<std::int16_t>(k);
      } else if ((cell & 7) != 7) {
        entry = -3;
      } else {
        if (entry >= 0) {
          const auto first = static_cast<std::size_t>(entry);
          entry = static_cast<std::int16_t>(-2 - static_cast<std::ptrdiff_t>(colour_tables_.size() / 512));
          colour_tables_.resize(colour_tables_.size() + 512, -1);
          tell(entry, first);
        }
        tell(entry, k);
      }
      // And every colour in a small table, probed from its hash, for the cells that hold two.
      const std::uint32_t colour = packed(palette_[k]);
      std::size_t slot = colour_hash(colour);
      while (colour_slots_[slot] != 0) slot = (slot + 1) % colour_slots_.size();
      colour_slots_[slot] = colour | std::uint64_t{k + 1} << 32;
    }
    // The same tables after one that holds each entry at its own slot, and each opaque cell's place
    // in them: a cell of one colour reaches its entry's slot, a cell of several its table through
    // the low bits, so that index_triples looks up every colour the same way.
    exact_slots_.assign(512, -1);
    for (std::size_t k = 0; k < palette_.size(); ++k) exact_slots_[k] = static_cast<std::int16_t>(k);
    exact_slots_.insert(exact_slots_.end(), colour_tables_.begin(), colour_tables_.end());
    exact_cells_.resize(opaque_cell_count);
    for (std::size_t cell = 0; cell < opaque_cell_count; ++cell) {
      const std::int32_t entry = opaque_entry_[cell];
      exact_cells_[cell] = entry >= 0 ? static_cast<std::uint32_t>(entry) << 9
                                      : static_cast<std::uint32_t>(512 * (-2 - entry + 1)) << 9 | 511;
    }
  }
}

std::int16_t& PaletteIndex::cell_entry(std::uint32_t cell) const {
  if ((cell & 7) == 7) return opaque_entry_[cell >> 3];
  if (cell_entry_.empty()) cell_entry_.assign(cell_count, no_entry);
  return cell_entry_[cell];
}

std::uint8_t PaletteIndex::colour_entry(std::uint32_t colour, std::uint32_t cell) const {
  for (std::size_t slot = colour_hash(colour); colour_slots_[slot] != 0; slot = (slot + 1) % colour_slots_.size()) {
    if (static_cast<std::uint32_t>(colour_slots_[slot]) == colour)
      return static_cast<std::uint8_t>((colour_slots_[slot] >> 32) - 1);
  }
  // Not a colour of the palette after all: its cell's nearest entry, which the cell's mark keeps
  // from being remembered.
  return nearest_entry(cell);
}

std::uint8_t PaletteIndex::index_of(BgraQuad pixel) const {
  if (palette_.empty()) return 0;
  const std::uint32_t cell = cell_of(pixel);
  std::int16_t& entry = cell_entry(cell);
  if (entry >= 0) return static_cast<std::uint8_t>(entry);
  if (exact_palette_) return colour_entry(packed(pixel), cell);
  entry = static_cast<std::int16_t>(nearest_entry(cell));
  return static_cast<std::uint8_t>(entry);
}

std::uint8_t PaletteIndex::nearest_entry(std::uint32_t cell) const {
  const std::array<unsigned, 4> centre = cell_colour(cell);
  const auto red = static_cast<std::int32_t>(centre[0]), green = static_cast<std::int32_t>(centre[1]);
  const auto blue = static_cast<std::int32_t>(centre[2]), alpha = static_cast<std::int32_t>(centre[3]);
  // Each entry's distance (at most 4 x 255^2, 18 bits) above its index: the least key is the
  // nearest entry, and the first of those on a tie. Eight at a time, in lanes the compiler vectorises.
  std::array<std::int32_t, 8> best;
  best.fill(INT32_MAX);
  for (std::size_t base = 0; base < reds_.size(); base += 8) {
    for (std::size_t j = 0; j < 8; ++j) {
      const std::int32_t r = reds_[base + j] - red, g = greens_[base + j] - green;
      const std::int32_t b = blues_[base + j] - blue, a = alphas_[base + j] - alpha;
      const std::int32_t key = (r * r + g * g + b * b + a * a) << 8 | static_cast<std::int32_t>(base + j);
      best[j] = std::min(best[j], key);
    }
  }
  return static_cast<std::uint8_t>(*std::min_element(best.begin(), best.end()) & 255);
}

void PaletteIndex::index_triples(const std::uint8_t* triples, std::uint32_t width, std::uint8_t* indices) const {
  if (palette_.empty()) {
    std::fill(indices, indices + width, std::uint8_t{0});
    return;
  }
  std::int16_t* entries = opaque_entry_.data();
  const OpaqueCells cells_of = opaque_cells_kernel();
  // The cells of a stretch of the row are worked out together, many to a vector, then looked up.
  constexpr std::uint32_t stretch = 64;
  std::array<std::uint16_t, stretch> cells, lows;
  if (!exact_palette_) {
    for (std::uint32_t start = 0; start < width; start += stretch) {
      const std::uint32_t count = std::min(stretch, width - start);
      cells_of(triples + std::size_t{start} * 3, count, cells.data(), nullptr);
      std::uint8_t* to = indices + start;
      for (std::uint32_t x = 0; x < count; ++x) {
        const std::uint32_t cell = cells[x];
        std::int32_t entry = entries[cell];
        if (entry < 0) {
          entry = nearest_entry(cell << 3 | 7);
          entries[cell] = static_cast<std::int16_t>(entry);
        }
        to[x] = static_cast<std::uint8_t>(entry);
      }
    }
    return;
  }
  const std::uint32_t* places = exact_cells_.data();
  const std::int16_t* slots = exact_slots_.data();
  for (std::uint32_t start = 0; start < width; start += stretch) {
    const std::uint32_t count = std::min(stretch, width - start);
    cells_of(triples + std::size_t{start} * 3, count, cells.data(), lows.data());
    std::uint8_t* to = indices + start;
    for (std::uint32_t x = 0; x < count; ++x) {
      const std::uint32_t place = places[cells[x]];
      const std::int32_t index = slots[(place >> 9) + (lows[x] & place)];
      if (index >= 0) {
        to[x] = static_cast<std::uint8_t>(index);
        continue;
      }
      const std::uint8_t* triple = triples + (std::size_t{start} + x) * 3;
      to[x] = colour_entry(last_rgb_of(triple) | std::uint32_t{255} << 24, std::uint32_t{cells[x]} << 3 | 7);
    }
  }
}
