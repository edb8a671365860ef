#include "containers/font_header.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

int whole_pixels(int sixteenths) { return static_cast<int>(std::lround(sixteenths / 16.0)); }

std::string hex_byte(std::uint8_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", value);
  return text;
}

std::string code_point_text(char32_t code) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%04lX", static_cast<unsigned long>(code));
  return text;
}

// A glyph's levels packed: each row from the high bits of its first byte, padded to a byte.
void pack_glyph(const GlyphSet& set, const Glyph& glyph, std::vector<std::uint8_t>& bits) {
  for (int y = 0; y < glyph.height; ++y) {
    const std::size_t row_start = bits.size();
    bits.resize(row_start + (std::size_t(glyph.width) * std::size_t(set.bpp) + 7) / 8, 0);
    for (int x = 0; x < glyph.width; ++x) {
      const std::uint8_t level =
          set.levels[glyph.levels_offset + std::size_t(y) * std::size_t(glyph.width) + std::size_t(x)];
      const std::size_t bit = std::size_t(x) * std::size_t(set.bpp);
      bits[row_start + bit / 8] |= static_cast<std::uint8_t>(level << (8 - set.bpp - int(bit % 8)));
    }
  }
}

}  // namespace

std::variant<std::string, Failure> font_header(const GlyphSet& set, std::string_view name_view,
                                               std::string_view attribute_view, bool kerning_table) {
  const std::string name(name_view);
  std::string attribute;
  if (!attribute_view.empty()) attribute.append(" ").append(attribute_view);
  std::vector<std::uint8_t> bits;
  std::vector<std::size_t> offsets;
  for (const Glyph& glyph : set.glyphs) {
    offsets.push_back(bits.size());
    pack_glyph(set, glyph, bits);
  }
  if (bits.size() > UINT32_MAX) return Failure{Fault::unsupported, "the glyphs' bitmaps outgrow 32-bit offsets"};
  struct WholePair {
    char32_t left, right;
    int adjust;
  };
  std::vector<WholePair> kerning;
  for (const KerningPair& pair : set.kerning) {
    const int adjust = whole_pixels(pair.adjust_16);
    if (adjust < -128 || adjust > 127) return Failure{Fault::unsupported, "a kerning pair moves the pen too far"};
    if (adjust != 0) kerning.push_back({pair.left, pair.right, adjust});
  }
  const std::string levels = std::to_string((1 << set.bpp) - 1);
  const std::string bpp = std::to_string(set.bpp);
  std::string text;
  text += "/* " + name + std::string(": ") + std::to_string(set.glyphs.size()) +
          (set.glyphs.size() == 1 ? " glyph" : " glyphs") + std::string(" of a font at ") +
          std::to_string(set.size_px) + " px, " + bpp +
          " bits a pixel, made by rgb565 font.\n"
          " *\n"
          " * To find a glyph, search " +
          name +
          "_glyphs for its code point: the table is sorted by it.\n"
          " * To draw it with the pen at x on a line whose top is at y: its box is width x height pixels\n"
          " * with its top left corner at (x + x_offset, y + y_offset), y growing downwards; the\n"
          " * baseline is " +
          name +
          "_baseline rows below the line's top. Its rows start at\n"
          " * " +
          name + "_bitmaps[offset], the top row first, each (width * " + bpp +
          " + 7) / 8 bytes, the\n"
          " * leftmost pixel in the high bits of the first byte; a pixel's level runs from 0 (no ink)\n"
          " * to " +
          levels + " (full ink). Then move the pen right by advance pixels" +
          (!kerning_table ? std::string()
                          : ", plus the adjust of the\n * pair (left, right) in " + name +
                                "_kerning when the next glyph is right") +
          ".\n * Lines are " + name + "_line_height pixels apart.\n */\n";
  text += "#ifndef RGB565_" + name + "_H\n#define RGB565_" + name + "_H\n\n#include <stdint.h>\n\n";
  text +=
      "#ifndef RGB565_GLYPH_DEFINED\n#define RGB565_GLYPH_DEFINED\n"
      "typedef struct rgb565_glyph {\n  uint32_t code_point;\n  uint32_t offset;\n  uint16_t width, height;\n"
      "  int16_t x_offset, y_offset;\n  uint16_t advance;\n} rgb565_glyph;\n#endif\n\n";
  text += "enum {\n  " + name + std::string("_glyph_count = ") + std::to_string(set.glyphs.size()) + ",\n  " + name +
          std::string("_line_height = ") + std::to_string(set.line_height) + ",\n  " + name +
          std::string("_baseline = ") + std::to_string(set.baseline) + ",\n  " + name + "_bpp = " + bpp;
  text += "\n};\n\n";
  // C has no empty arrays: a font without ink holds one byte nobody reads.
  if (bits.empty()) bits.push_back(0);
  text += "static const uint8_t " + name + std::string("_bitmaps[") + std::to_string(bits.size()) + "]" + attribute +
          " = {";
  // Six characters a byte ("\n  0x12," or " 0x12,"), reserved at once: the array is nearly all of
  // the text, and doubling the string as it grows would hold twice its size.
  text.reserve(text.size() + bits.size() * 7 + set.glyphs.size() * 64 + 4096);
  for (std::size_t i = 0; i < bits.size(); ++i) {
    text += i % 16 == 0 ? "\n  " : " ";
    text += hex_byte(bits[i]);
    text += ',';
  }
  text += "\n};\n\n";
  text += "static const rgb565_glyph " + name + std::string("_glyphs[") + std::to_string(set.glyphs.size()) + "]" +
          attribute + " = {\n";
  for (std::size_t i = 0; i < set.glyphs.size(); ++i) {
    const Glyph& glyph = set.glyphs[i];
    text += std::string("  {") + code_point_text(glyph.code_point) + std::string(", ") + std::to_string(offsets[i]) +
            std::string(", ") + std::to_string(glyph.width) + std::string(", ") + std::to_string(glyph.height) +
            std::string(", ") + std::to_string(glyph.x_offset) + std::string(", ") +
            std::to_string(set.baseline - glyph.y_top) + std::string(", ") +
            std::to_string(whole_pixels(glyph.advance_16)) + "},\n";
  }
  text += "};\n";
  if (kerning_table) {
    text +=
        "\n#ifndef RGB565_KERNING_DEFINED\n#define RGB565_KERNING_DEFINED\n"
        "typedef struct rgb565_kerning {\n  uint32_t left, right;\n  int8_t adjust;\n} rgb565_kerning;\n#endif\n\n";
    text += "enum { " + name + std::string("_kerning_count = ") + std::to_string(kerning.size()) + " };\n\n";
    text += "static const rgb565_kerning " + name + std::string("_kerning[") +
            std::to_string(std::max<std::size_t>(kerning.size(), 1)) + "]" + attribute + " = {\n";
    if (kerning.empty()) text += "  {0, 0, 0},\n";
    for (const WholePair& pair : kerning)
      text += std::string("  {") + code_point_text(pair.left) + std::string(", ") + code_point_text(pair.right) +
              std::string(", ") + std::to_string(pair.adjust) + "},\n";
    text += "};\n";
  }
  text += "\n#endif\n";
  return text;
}
