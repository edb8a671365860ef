#include "read/truetype_font.h"

#define STB_TRUETYPE_IMPLEMENTATION
#define STBTT_STATIC
#include <stb_truetype.h>

struct TrueTypeFont::State {
  stbtt_fontinfo info{};
};

TrueTypeFont::TrueTypeFont(std::unique_ptr<State> state) : state_(std::move(state)) {}
TrueTypeFont::~TrueTypeFont() = default;

std::unique_ptr<TrueTypeFont> TrueTypeFont::open(std::span<const std::uint8_t> bytes) {
  auto state = std::make_unique<State>();
  if (stbtt_InitFont(&state->info, bytes.data(), 0) == 0) return nullptr;
  return std::unique_ptr<TrueTypeFont>(new TrueTypeFont(std::move(state)));
}

float TrueTypeFont::scale_for_em(float pixels) const { return stbtt_ScaleForMappingEmToPixels(&state_->info, pixels); }

void TrueTypeFont::vertical_metrics(int& ascent, int& descent, int& line_gap) const {
  stbtt_GetFontVMetrics(&state_->info, &ascent, &descent, &line_gap);
}

int TrueTypeFont::advance(int glyph) const {
  int advance = 0, bearing = 0;
  stbtt_GetGlyphHMetrics(&state_->info, glyph, &advance, &bearing);
  // The field is unsigned; stb reads it signed, which would make an advance of half the range or
  // more a step to the left.
  return static_cast<std::uint16_t>(advance);
}

namespace {

struct Box {
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

std::optional<Box> glyph_box(const stbtt_fontinfo& info, int glyph, float scale, int largest) {
  Box box;
  stbtt_GetGlyphBitmapBox(&info, glyph, scale, scale, &box.x0, &box.y0, &box.x1, &box.y1);
  for (int edge : {box.x0, box.y0, box.x1, box.y1}) {
    if (edge < -largest || edge > largest) return std::nullopt;
  }
  return box;
}

}  // namespace

std::uint64_t TrueTypeFont::box_pixels(int glyph, float scale, int largest) const {
  const std::optional<Box> box = glyph_box(state_->info, glyph, scale, largest);
  if (!box || box->x1 <= box->x0 || box->y1 <= box->y0) return 0;
  return std::uint64_t(box->x1 - box->x0) * std::uint64_t(box->y1 - box->y0);
}

std::optional<GlyphRaster> TrueTypeFont::raster(int glyph, float scale, int largest) const {
  const std::optional<Box> box = glyph_box(state_->info, glyph, scale, largest);
  if (!box) return std::nullopt;
  const auto [x0, y0, x1, y1] = *box;
  GlyphRaster raster{x0, y0, x1 - x0, y1 - y0, {}};
  if (raster.width <= 0 || raster.height <= 0) return GlyphRaster{};
  raster.coverage.assign(std::size_t(raster.width) * std::size_t(raster.height), 0);
  stbtt_MakeGlyphBitmap(&state_->info, raster.coverage.data(), raster.width, raster.height, raster.width, scale, scale,
                        glyph);
  return raster;
}
