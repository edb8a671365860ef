#include "format/median_cut.h"

#include <algorithm>
#include <array>
#include <cstddef>

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

std::uint32_t cell_of(BgraQuad pixel) {
  return std::uint32_t{pixel.red} >> 3 << 13 | std::uint32_t{pixel.green} >> 3 << 8 |
         std::uint32_t{pixel.blue} >> 3 << 3 | std::uint32_t{pixel.alpha} >> 5;
}

// A cell's channels as 8-bit values, in the order red, green, blue, alpha.
std::array<unsigned, 4> cell_colour(std::uint32_t cell) {
  return {widen(cell >> 13 & 31, 5, Expansion::replicate), widen(cell >> 8 & 31, 5, Expansion::replicate),
          widen(cell >> 3 & 31, 5, Expansion::replicate), widen(cell & 7, 3, Expansion::replicate)};
}

struct Box {
  std::vector<std::uint32_t> cells;
  std::uint64_t count = 0;
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
  while (boxes.size() < entries) {
    int chosen = -1, channel = 0;
    unsigned range = 0;
    for (std::size_t b = 0; b < boxes.size(); ++b) {
      if (boxes[b].cells.size() < 2) continue;
      const auto [c, r] = widest(boxes[b]);
      if (chosen < 0 || r > range) chosen = static_cast<int>(b), channel = c, range = r;
    }
    if (chosen < 0) break;
    Box& box = boxes[static_cast<std::size_t>(chosen)];
    // Sorted on the channel's level, then the cell's number, which is the cells' order already.
    const unsigned shift[4] = {13, 8, 3, 0}, mask[4] = {31, 31, 31, 7};
    std::stable_sort(box.cells.begin(), box.cells.end(), [&](std::uint32_t a, std::uint32_t b) {
      return (a >> shift[channel] & mask[channel]) < (b >> shift[channel] & mask[channel]);
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
    boxes.push_back(std::move(upper));
  }
  for (const Box& box : boxes) {
    if (box.count != 0) palette.push_back(mean_of(box, cells_));
  }
  return palette;
}

PaletteIndex::PaletteIndex(std::span<const BgraQuad> palette, bool exact)
    : palette_(palette.begin(), palette.end()), exact_palette_(exact), cell_entry_(cell_count, -1) {
  for (std::size_t k = 0; k < palette_.size(); ++k) exact_.push_back(packed(palette_[k]));
  std::vector<std::uint32_t> order(palette_.size());
  for (std::size_t k = 0; k < order.size(); ++k) order[k] = static_cast<std::uint32_t>(k);
  std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) { return exact_[a] < exact_[b]; });
  std::vector<std::uint32_t> sorted;
  for (std::uint32_t k : order) sorted.push_back(k);
  exact_ = std::move(sorted);
}

std::uint8_t PaletteIndex::index_of(BgraQuad pixel) const {
  if (exact_palette_) {
    const std::uint32_t colour = packed(pixel);
    const auto at = std::lower_bound(exact_.begin(), exact_.end(), colour,
                                     [&](std::uint32_t k, std::uint32_t value) { return packed(palette_[k]) < value; });
    if (at != exact_.end() && packed(palette_[*at]) == colour) return static_cast<std::uint8_t>(*at);
  }
  const std::uint32_t cell = cell_of(pixel);
  if (cell_entry_[cell] < 0) {
    const std::array<unsigned, 4> centre = cell_colour(cell);
    std::size_t best = 0;
    for (std::size_t k = 1; k < palette_.size(); ++k) {
      if (distance(palette_[k], centre) < distance(palette_[best], centre)) best = k;
    }
    cell_entry_[cell] = static_cast<std::int16_t>(best);
  }
  return static_cast<std::uint8_t>(cell_entry_[cell]);
}
