// Fuzz entry point of the TrueType bounds check. Whatever the bytes, the check must refuse them or
// pass a font that the rasteriser then reads and draws without reading outside the input (which
// shows under AddressSanitizer): a few characters are looked up and their glyphs drawn small, with
// kerning, as rgb565 font draws them.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <variant>

#include "read/truetype_check.h"
#include "read/truetype_font.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  constexpr char32_t characters[] = {U' ', U'0', U'A', U'B', U'C', U'g', U'\u00e9', U'\U0001F600'};
  const std::variant<CheckedFont, Failure> checked = check_truetype(bytes, characters, true);
  const CheckedFont* font = std::get_if<CheckedFont>(&checked);
  if (font == nullptr) return 0;
  const std::unique_ptr<TrueTypeFont> raster = TrueTypeFont::open(bytes);
  if (!raster) return 0;
  const float scale = raster->scale_for_em(12);
  int ascent = 0, descent = 0, gap = 0;
  raster->vertical_metrics(ascent, descent, gap);
  for (std::uint16_t glyph : font->glyphs) {
    if (glyph == 0) continue;
    (void)raster->advance(glyph);
    (void)raster->raster(glyph, scale, 8 * 12 + 16);
  }
  return 0;
}
