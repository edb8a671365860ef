#include "containers/font_sheet.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <new>

#include "containers/png_output.h"

namespace {

struct Placed {
  const Glyph* glyph;
  int left;  // the box's left column and top row on the sheet before the margin
  int top;
};

}  // namespace

std::optional<std::vector<std::uint8_t>> font_sheet(const GlyphSet& set) {
  const int margin = std::max(2, set.size_px / 4);
  const int wrap = std::max(480, 16 * set.size_px);
  std::vector<Placed> placed;
  int pen = 0, line = 0;
  int min_x = 0, min_y = 0, max_x = 1, max_y = std::max(1, set.line_height);
  for (const Glyph& glyph : set.glyphs) {
    const int advance = static_cast<int>(std::lround(glyph.advance_16 / 16.0));
    if (pen > 0 && pen + advance > wrap) {
      pen = 0;
      ++line;
    }
    const Placed at{&glyph, pen + glyph.x_offset, line * set.line_height + set.baseline - glyph.y_top};
    pen += advance;
    max_x = std::max(max_x, pen);
    max_y = std::max(max_y, (line + 1) * set.line_height);
    if (glyph.width == 0 || glyph.height == 0) continue;
    min_x = std::min(min_x, at.left);
    min_y = std::min(min_y, at.top);
    max_x = std::max(max_x, at.left + glyph.width);
    max_y = std::max(max_y, at.top + glyph.height);
    placed.push_back(at);
  }
  const auto width = static_cast<std::uint32_t>(max_x - min_x + 2 * margin);
  const auto height = static_cast<std::uint32_t>(max_y - min_y + 2 * margin);
  const int top_level = (1 << set.bpp) - 1;
  std::vector<std::uint8_t> file;
  try {
    std::vector<std::uint8_t> grey(std::size_t{width} * height, 255);
    for (const Placed& at : placed) {
      const Glyph& glyph = *at.glyph;
      for (int y = 0; y < glyph.height; ++y) {
        for (int x = 0; x < glyph.width; ++x) {
          const std::uint8_t level =
              set.levels[glyph.levels_offset + std::size_t(y) * std::size_t(glyph.width) + std::size_t(x)];
          const auto ink = static_cast<std::uint8_t>(255 - (level * 255 + top_level / 2) / top_level);
          std::uint8_t& pixel =
              grey[std::size_t(at.top + y - min_y + margin) * width + std::size_t(at.left + x - min_x + margin)];
          pixel = std::min(pixel, ink);
        }
      }
    }
    std::optional<PngOutput> png = PngOutput::begin(width, height, PngColour::rgb);
    if (!png) return std::nullopt;
    std::vector<std::uint8_t> row(std::size_t{width} * 3);
    const auto take = [&] {
      file.insert(file.end(), png->pending().begin(), png->pending().end());
      png->clear_pending();
    };
    for (std::uint32_t y = 0; y < height; ++y) {
      for (std::uint32_t x = 0; x < width; ++x) std::fill_n(row.begin() + x * 3, 3, grey[std::size_t{y} * width + x]);
      if (!png->add_row(row.data())) return std::nullopt;
      take();
    }
    if (!png->finish()) return std::nullopt;
    take();
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  return file;
}
