// A TrueType font rasterised by stb_truetype, compiled in truetype_font.cpp alone. The rasteriser
// trusts the offsets in the file: open a font only once check_truetype (truetype_check.h) has
// passed it for the glyphs that will be drawn, and draw only those glyphs.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

// A glyph's coverage as the rasteriser draws it, y down: the box's top left corner is `left`
// pixels right of the pen and `top` pixels below the baseline (negative above it); `coverage`
// holds width x height bytes, 0 (none) to 255 (full), row by row from the top.
struct GlyphRaster {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> coverage;
};

class TrueTypeFont {
 public:
  // The font in `bytes`, which must outlive it; null when the rasteriser does not take it.
  static std::unique_ptr<TrueTypeFont> open(std::span<const std::uint8_t> bytes);
  ~TrueTypeFont();
  TrueTypeFont(const TrueTypeFont&) = delete;
  TrueTypeFont& operator=(const TrueTypeFont&) = delete;

  // Pixels per font unit for an em of `pixels`.
  float scale_for_em(float pixels) const;
  // In font units: ascent above the baseline, descent below it (negative), and the line gap.
  void vertical_metrics(int& ascent, int& descent, int& line_gap) const;
  // In font units.
  int advance(int glyph) const;
  // The pixels of the glyph's box at `scale`, from the outline's own bounds, without drawing it: 0
  // for a box that reaches further than `largest` pixels from the pen, which raster() refuses.
  std::uint64_t box_pixels(int glyph, float scale, int largest) const;
  // The glyph drawn at `scale`; nullopt when its box (from the outline's own bounds, which a
  // hostile font may make huge) reaches further than `largest` pixels from the pen either way.
  std::optional<GlyphRaster> raster(int glyph, float scale, int largest) const;

 private:
  struct State;
  explicit TrueTypeFont(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};
