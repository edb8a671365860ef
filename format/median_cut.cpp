#include "format/median_cut.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <tuple>

#include "format/levels.h"

namespace {

constexpr std::size_t cell_count = std::size_t{1} << 18;

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

unsigned distance(BgraQuad a, const std::array<unsigned, 4>& colour) {
  const auto square = [](int d) { return static_cast<unsigned>(d * d); };
  return square(a.red - static_cast<int>(colour[0])) + square(a.green - static_cast<int>(colour[1])) +
         square(a.blue - static_cast<int>(colour[2])) + square(a.alpha - static_cast<int>(colour[3]));
}

}  // namespace

ColourCount::ColourCount() : cells_(cell_count, 0) {}

void ColourCount::add(std::span<const BgraQuad> quads) {
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
    if (exact_.size() == 256) {
      too_many_ = true;
      exact_.clear();
      continue;
    }
    exact_.insert(at, colour);
  }
}

void ColourCount::add_triples(const std::uint8_t* triples, std::uint32_t count, bool cells) {
  if (too_many_ && !cells) return;
  for (std::uint32_t k = 0; k < count; ++k, triples += 3) {
    if (cells) {
      ++cells_[std::uint32_t{triples[2]} >> 3 << 13 | std::uint32_t{triples[1]} >> 3 << 8 |
               std::uint32_t{triples[0]} >> 3 << 3 | 7];
    }
    if (too_many_) continue;
    // Opaque colours seen so far, one bit each: a colour already seen costs a bit test, not a search.
    if (seen_.empty()) seen_.assign(std::size_t{1} << 18, 0);
    const std::uint32_t rgb =
        std::uint32_t{triples[0]} | std::uint32_t{triples[1]} << 8 | std::uint32_t{triples[2]} << 16;
    std::uint64_t& word = seen_[rgb >> 6];
    const std::uint64_t bit = std::uint64_t{1} << (rgb & 63);
    if ((word & bit) != 0) continue;
    word |= bit;
    const std::uint32_t colour = rgb | std::uint32_t{255} << 24;
    const auto at = std::lower_bound(exact_.begin(), exact_.end(), colour);
    if (at != exact_.end() && *at == colour) continue;
    if (exact_.size() == 256) {
      too_many_ = true;
      exact_.clear();
      seen_ = {};
      continue;
    }
    exact_.insert(at, colour);
  }
}

std::vector<BgraQuad> ColourCount::palette(unsigned entries) const {
  std::vector<BgraQuad> palette;
  if (!too_many_ && exact_.size() <= entries) {
    for (std::uint32_t colour : exact_) palette.push_back(unpacked(colour));
    return palette;
  }
  std::vector<Box> boxes(1);
  for (std::uint32_t cell = 0; cell < cell_count; ++cell) {
    if (cells_[cell] == 0) continue;
    boxes[0].cells.push_back(cell);
    boxes[0].count += cells_[cell];
  }
  std::tie(boxes[0].channel, boxes[0].range) = widest(boxes[0]);
  while (boxes.size() < entries) {
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
      seen += cells_[box.cells[k]];
      split = k + 1;
      if (2 * seen >= box.count) break;
    }
    Box upper;
    upper.cells.assign(box.cells.begin() + static_cast<std::ptrdiff_t>(split), box.cells.end());
    box.cells.resize(split);
    for (std::uint32_t cell : upper.cells) upper.count += cells_[cell];
    box.count -= upper.count;
    std::tie(box.channel, box.range) = widest(box);
    std::tie(upper.channel, upper.range) = widest(upper);
    boxes.push_back(std::move(upper));
  }
  for (const Box& box : boxes) {
    if (box.count != 0) palette.push_back(mean_of(box, cells_));
  }
  return palette;
}

PaletteIndex::PaletteIndex(std::span<const BgraQuad> palette, bool exact)
    : palette_(palette.begin(), palette.end()), exact_palette_(exact), cell_entry_(cell_count, -1) {
  // With an exact palette a cell that holds one entry's colour names that entry outright, since no
  // other colour is looked up; a cell that holds two is marked to be searched.
  if (exact_palette_) {
    for (std::size_t k = 0; k < palette_.size(); ++k) {
      std::int16_t& entry = cell_entry_[cell_of(palette_[k])];
      entry = entry == -1 ? static_cast<std::int16_t>(k) : std::int16_t{-2};
      // And every colour in a small table, probed from its hash, for the cells that hold two.
      std::size_t slot = colour_hash(packed(palette_[k]));
      while (colour_slots_[slot] != 0) slot = (slot + 1) % colour_slots_.size();
      colour_slots_[slot] = static_cast<std::uint16_t>(k + 1);
    }
  }
}

std::uint8_t PaletteIndex::index_of(BgraQuad pixel) const {
  if (palette_.empty()) return 0;
  const std::uint32_t cell = cell_of(pixel);
  if (exact_palette_) {
    const std::int16_t entry = cell_entry_[cell];
    if (entry >= 0) return static_cast<std::uint8_t>(entry);
    const std::uint32_t colour = packed(pixel);
    for (std::size_t slot = colour_hash(colour); colour_slots_[slot] != 0; slot = (slot + 1) % colour_slots_.size()) {
      if (packed(palette_[colour_slots_[slot] - 1u]) == colour)
        return static_cast<std::uint8_t>(colour_slots_[slot] - 1u);
    }
    // Not a colour of the palette after all: its cell's nearest entry, which the cell's mark keeps
    // from being remembered.
    return nearest_entry(cell);
  }
  if (cell_entry_[cell] < 0) cell_entry_[cell] = static_cast<std::int16_t>(nearest_entry(cell));
  return static_cast<std::uint8_t>(cell_entry_[cell]);
}

std::uint8_t PaletteIndex::nearest_entry(std::uint32_t cell) const {
  const std::array<unsigned, 4> centre = cell_colour(cell);
  std::size_t best = 0;
  unsigned nearest = distance(palette_[0], centre);
  for (std::size_t k = 1; k < palette_.size(); ++k) {
    // Most entries are further off in red alone than the nearest so far.
    const int red = palette_[k].red - static_cast<int>(centre[0]);
    if (static_cast<unsigned>(red * red) >= nearest) continue;
    const unsigned d = distance(palette_[k], centre);
    if (d < nearest) best = k, nearest = d;
  }
  return static_cast<std::uint8_t>(best);
}

void PaletteIndex::index_triples(const std::uint8_t* triples, std::uint32_t width, std::uint8_t* indices) const {
  if (palette_.empty()) {
    std::fill(indices, indices + width, std::uint8_t{0});
    return;
  }
  const std::int16_t* entries = cell_entry_.data();
  for (std::uint32_t x = 0; x < width; ++x, triples += 3) {
    const std::int16_t entry = entries[std::uint32_t{triples[2]} >> 3 << 13 | std::uint32_t{triples[1]} >> 3 << 8 |
                                       std::uint32_t{triples[0]} >> 3 << 3 | 7];
    indices[x] =
        entry >= 0 ? static_cast<std::uint8_t>(entry) : index_of(BgraQuad{triples[0], triples[1], triples[2], 255});
  }
}
