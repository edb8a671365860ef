#include "containers/font_lvgl.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "containers/c_array.h"

// LVGL's plain glyph bitmaps are one stream of levels a glyph, row after row with no padding at a
// row's end, the leftmost pixel in the high bits of its byte; each glyph starts on a byte of its
// own, which its description's bitmap_index names. Glyph id 0 is the empty glyph LVGL answers for a
// code point that no map holds, so the set's glyphs take ids 1 to n in code-point order.
//
// The limits below are those of LVGL's default glyph description (LV_FONT_FMT_TXT_LARGE off): a
// font that fits them loads whichever way a firmware has configured LVGL.

namespace {

constexpr int max_box = 255;
constexpr int max_advance_16 = (1 << 12) - 1;
constexpr std::size_t max_bitmap_index = (std::size_t{1} << 20) - 1;
constexpr std::size_t max_glyphs = 0xFFFF;
constexpr std::size_t max_maps = (1 << 9) - 1;
// A character map costs 16 to 24 bytes, which 8 to 12 entries of a sparse list take: a shorter run
// of consecutive code points is cheaper as entries of a neighbouring sparse map.
constexpr std::size_t min_run = 8;
constexpr std::uint32_t max_map_span = 0xFFFF;

std::string hex(std::uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*X", digits, static_cast<unsigned>(value));
  return text;
}

std::string code_point_name(char32_t code_point) { return "U+" + hex(static_cast<std::uint32_t>(code_point), 4); }

// A map of consecutive glyphs: `first` to `first + count - 1` in the set's order.
struct CharacterMap {
  std::size_t first = 0;
  std::size_t count = 0;
  bool sparse = false;
  // Where its offsets start in the shared unicode list.
  std::size_t list_offset = 0;
};

// Runs of at least min_run consecutive code points become maps of their own (glyph id = start +
// code point - first code point); what lies between them is gathered into sparse maps, each
// spanning less than LVGL's 16-bit lengths and offsets reach.
std::vector<CharacterMap> character_maps(const std::vector<Glyph>& glyphs) {
  std::vector<CharacterMap> maps;
  std::size_t list_length = 0;
  const auto add_sparse = [&](std::size_t at) {
    CharacterMap* last = maps.empty() ? nullptr : &maps.back();
    if (last != nullptr && last->sparse && glyphs[at].code_point - glyphs[last->first].code_point < max_map_span) {
      ++last->count;
    } else {
      maps.push_back({at, 1, true, list_length});
    }
    ++list_length;
  };
  std::size_t at = 0;
  while (at < glyphs.size()) {
    std::size_t end = at + 1;
    while (end < glyphs.size() && glyphs[end].code_point == glyphs[end - 1].code_point + 1 && end - at < max_map_span) {
      ++end;
    }
    if (end - at >= min_run) {
      maps.push_back({at, end - at, false, 0});
    } else {
      for (std::size_t k = at; k < end; ++k) add_sparse(k);
    }
    at = end;
  }
  return maps;
}

// Levels packed as LVGL's plain format takes them, appended to `bitmaps`.
void pack_levels(std::vector<std::uint8_t>& bitmaps, const std::uint8_t* levels, std::size_t count, int bpp) {
  unsigned accumulator = 0;
  int bits = 0;
  for (std::size_t k = 0; k < count; ++k) {
    accumulator = (accumulator << bpp) | levels[k];
    bits += bpp;
    if (bits == 8) {
      bitmaps.push_back(static_cast<std::uint8_t>(accumulator));
      accumulator = 0;
      bits = 0;
    }
  }
  if (bits != 0) bitmaps.push_back(static_cast<std::uint8_t>(accumulator << (8 - bits)));
}

std::string glyph_refusal(const Glyph& glyph, std::string_view what) {
  return "LVGL's font cannot hold glyph " + code_point_name(glyph.code_point) + ": " + std::string(what);
}

void append_bytes(std::string& text, const std::uint8_t* bytes, std::size_t count) {
  for (std::size_t k = 0; k < count; ++k) {
    text += k % 12 == 0 ? "    " : " ";
    text += "0x" + hex(bytes[k], 2) + ",";
    if (k % 12 == 11 || k + 1 == count) text += "\n";
  }
}

}  // namespace

std::variant<std::string, Failure> lvgl_font_source(const GlyphSet& set, std::string_view name,
                                                    std::string_view c_attribute) {
  assert(set.bpp == 1 || set.bpp == 2 || set.bpp == 4 || set.bpp == 8);
  const auto refuse = [](std::string reason) { return Failure{Fault::unsupported, std::move(reason)}; };
  if (set.glyphs.size() > max_glyphs)
    return refuse("LVGL's font holds at most " + std::to_string(max_glyphs) + " glyphs, not " +
                  std::to_string(set.glyphs.size()));

  std::vector<std::uint8_t> bitmaps;
  std::vector<std::size_t> bitmap_index;
  for (const Glyph& glyph : set.glyphs) {
    if (glyph.width > max_box || glyph.height > max_box)
      return refuse(glyph_refusal(glyph, "its box of " + std::to_string(glyph.width) + " x " +
                                             std::to_string(glyph.height) + " pixels is over 255 a side"));
    const int ofs_y = glyph.y_top - glyph.height;
    if (glyph.x_offset < INT8_MIN || glyph.x_offset > INT8_MAX || ofs_y < INT8_MIN || ofs_y > INT8_MAX)
      return refuse(glyph_refusal(glyph, "its box lies " + std::to_string(glyph.x_offset) + ", " +
                                             std::to_string(ofs_y) +
                                             " pixels from the pen, beyond the -128 to 127 its offsets take"));
    if (glyph.advance_16 < 0 || glyph.advance_16 > max_advance_16)
      return refuse(glyph_refusal(glyph, "its advance of " + std::to_string(glyph.advance_16) +
                                             "/16 pixels is beyond the 0 to 4095/16 it takes"));
    if (bitmaps.size() > max_bitmap_index)
      return refuse(glyph_refusal(glyph, "its bitmap would start at byte " + std::to_string(bitmaps.size()) +
                                             ", past the 1 MiB that LVGL's bitmap index reaches"));
    bitmap_index.push_back(bitmaps.size());
    const std::size_t count = static_cast<std::size_t>(glyph.width) * static_cast<std::size_t>(glyph.height);
    assert(glyph.levels_offset + count <= set.levels.size());
    pack_levels(bitmaps, set.levels.data() + glyph.levels_offset, count, set.bpp);
  }

  const std::vector<CharacterMap> maps = character_maps(set.glyphs);
  if (maps.size() > max_maps)
    return refuse("the code points chosen need " + std::to_string(maps.size()) +
                  " character maps, more than the 511 LVGL's font holds; choose fewer scattered ones");

  // The kerning pairs by glyph id; a pair names glyphs of the set, as the set is made.
  struct IdPair {
    std::size_t left, right;
    int adjust_16;
  };
  std::vector<IdPair> pairs;
  std::int64_t widest = 0;
  for (const KerningPair& pair : set.kerning) {
    const auto id_of = [&](char32_t code_point) -> std::size_t {
      const auto found = std::lower_bound(set.glyphs.begin(), set.glyphs.end(), code_point,
                                          [](const Glyph& glyph, char32_t c) { return glyph.code_point < c; });
      if (found == set.glyphs.end() || found->code_point != code_point) return 0;
      return static_cast<std::size_t>(found - set.glyphs.begin()) + 1;
    };
    const std::size_t left = id_of(pair.left), right = id_of(pair.right);
    if (left == 0 || right == 0 || pair.adjust_16 == 0) continue;
    pairs.push_back({left, right, pair.adjust_16});
    widest = std::max<std::int64_t>(widest, pair.adjust_16 < 0 ? -std::int64_t{pair.adjust_16} : pair.adjust_16);
  }
  std::sort(pairs.begin(), pairs.end(),
            [](const IdPair& a, const IdPair& b) { return a.left != b.left ? a.left < b.left : a.right < b.right; });
  // LVGL scales each signed byte by kern_scale / 16: in sixteenths of a pixel at 16, and coarser
  // only where a pair moves the pen more than a byte holds (8 pixels, at large sizes), so that no
  // pair is cut short.
  const std::int64_t kern_scale = std::max<std::int64_t>(16, (widest * 16 + 126) / 127);
  if (kern_scale > 0xFFFF)
    return refuse("a kerning pair moves the pen " + std::to_string(widest) +
                  "/16 pixels, beyond what LVGL's 16-bit kerning scale reaches");
  const auto kern_value = [&](int adjust_16) {
    const std::int64_t scaled = std::int64_t{adjust_16} * 16;
    return (scaled >= 0 ? scaled + kern_scale / 2 : scaled - kern_scale / 2) / kern_scale;
  };
  const bool wide_ids = set.glyphs.size() > 0xFF;

  const std::string n(name);
  std::string text = "/* " + n + ": an LVGL 9 font of " + std::to_string(set.glyphs.size()) + " glyphs at " +
                     std::to_string(set.size_px) + " px, " + std::to_string(set.bpp) +
                     " bits a pixel.\n   Declare it with LV_FONT_DECLARE(" + n +
                     "); and draw with it by lv_obj_set_style_text_font(label, &" + n + ", 0). */\n\n";
  text += lvgl_include("lvgl.h") + "\n#if !defined(LVGL_VERSION_MAJOR) || LVGL_VERSION_MAJOR < 9\n#error \"" + n +
          " is a font for LVGL 9 or later\"\n#endif\n";
  if (!pairs.empty()) {
    // LVGL 9.2 alone keeps the kerning pairs' structure in a private header.
    text += "\n#if LVGL_VERSION_MAJOR == 9 && LVGL_VERSION_MINOR == 2\n" +
            lvgl_include("src/font/lv_font_fmt_txt_private.h") + "#endif\n";
  }

  text += "\n/* Each glyph's levels row after row, unpadded, the leftmost pixel in the high bits. */\n";
  text += "static LV_ATTRIBUTE_LARGE_CONST const uint8_t " + n + "_bitmaps[" +
          std::to_string(std::max<std::size_t>(bitmaps.size(), 1)) + "]";
  if (!c_attribute.empty()) text.append(" ").append(c_attribute);
  text += " = {\n";
  for (std::size_t k = 0; k < set.glyphs.size(); ++k) {
    const std::size_t end = k + 1 < set.glyphs.size() ? bitmap_index[k + 1] : bitmaps.size();
    if (end == bitmap_index[k]) continue;
    text += "    /* " + code_point_name(set.glyphs[k].code_point) + " */\n";
    append_bytes(text, bitmaps.data() + bitmap_index[k], end - bitmap_index[k]);
  }
  // C has no empty array: a set of spaces alone still gets one byte, which no glyph reads.
  if (bitmaps.empty()) text += "    0x00,\n";
  text += "};\n\n";

  text += "static const lv_font_fmt_txt_glyph_dsc_t " + n + "_glyph_dsc[" + std::to_string(set.glyphs.size() + 1) +
          "] = {\n    {.bitmap_index = 0, .adv_w = 0, .box_w = 0, .box_h = 0, .ofs_x = 0, .ofs_y = 0}, /* the empty "
          "glyph */\n";
  for (std::size_t k = 0; k < set.glyphs.size(); ++k) {
    const Glyph& glyph = set.glyphs[k];
    text += "    {.bitmap_index = " + std::to_string(bitmap_index[k]) +
            ", .adv_w = " + std::to_string(glyph.advance_16) + ", .box_w = " + std::to_string(glyph.width) +
            ", .box_h = " + std::to_string(glyph.height) + ", .ofs_x = " + std::to_string(glyph.x_offset) +
            ", .ofs_y = " + std::to_string(glyph.y_top - glyph.height) + "}, /* " + code_point_name(glyph.code_point) +
            " */\n";
  }
  text += "};\n\n";

  std::vector<std::uint32_t> unicode_list;
  for (const CharacterMap& map : maps) {
    if (!map.sparse) continue;
    for (std::size_t k = map.first; k < map.first + map.count; ++k)
      unicode_list.push_back(set.glyphs[k].code_point - set.glyphs[map.first].code_point);
  }
  if (!unicode_list.empty()) {
    text += "/* The sparse maps' code points, from each map's first. */\nstatic const uint16_t " + n +
            "_unicode_list[" + std::to_string(unicode_list.size()) + "] = {\n";
    for (std::size_t k = 0; k < unicode_list.size(); ++k) {
      text += k % 12 == 0 ? "    " : " ";
      text += "0x" + hex(unicode_list[k], 4) + ",";
      if (k % 12 == 11 || k + 1 == unicode_list.size()) text += "\n";
    }
    text += "};\n\n";
  }
  text += "static const lv_font_fmt_txt_cmap_t " + n + "_cmaps[" +
          std::to_string(std::max<std::size_t>(maps.size(), 1)) + "] = {\n";
  for (const CharacterMap& map : maps) {
    const std::uint32_t start = set.glyphs[map.first].code_point;
    const std::uint32_t span = set.glyphs[map.first + map.count - 1].code_point - start + 1;
    text += "    {.range_start = " + std::to_string(start) + ", .range_length = " + std::to_string(span) +
            ", .glyph_id_start = " + std::to_string(map.first + 1) + ", .unicode_list = ";
    if (map.sparse) {
      text += n + "_unicode_list + " + std::to_string(map.list_offset) +
              ", .glyph_id_ofs_list = NULL, .list_length = " + std::to_string(map.count) +
              ", .type = LV_FONT_FMT_TXT_CMAP_SPARSE_TINY},\n";
    } else {
      text += "NULL, .glyph_id_ofs_list = NULL, .list_length = 0, .type = LV_FONT_FMT_TXT_CMAP_FORMAT0_TINY},\n";
    }
  }
  // A set of no glyphs still needs an array; cmap_num 0 keeps LVGL from reading it.
  if (maps.empty()) text += "    {.range_start = 0, .range_length = 0, .glyph_id_start = 0},\n";
  text += "};\n\n";

  if (!pairs.empty()) {
    const std::string id_type = wide_ids ? "uint16_t" : "uint8_t";
    text +=
        "/* Kerning: left and right glyph ids, sorted; each value moves the pen by value * kern_scale / 256 "
        "pixels. */\nstatic const " +
        id_type + " " + n + "_kern_pair_ids[" + std::to_string(2 * pairs.size()) + "] = {\n";
    for (std::size_t k = 0; k < pairs.size(); ++k) {
      text += k % 6 == 0 ? "    " : " ";
      text += std::to_string(pairs[k].left) + ", " + std::to_string(pairs[k].right) + ",";
      if (k % 6 == 5 || k + 1 == pairs.size()) text += "\n";
    }
    text += "};\n\nstatic const int8_t " + n + "_kern_pair_values[" + std::to_string(pairs.size()) + "] = {\n";
    for (std::size_t k = 0; k < pairs.size(); ++k) {
      text += k % 12 == 0 ? "    " : " ";
      text += std::to_string(kern_value(pairs[k].adjust_16)) + ",";
      if (k % 12 == 11 || k + 1 == pairs.size()) text += "\n";
    }
    text += "};\n\nstatic const lv_font_fmt_txt_kern_pair_t " + n + "_kern_pairs = {\n    .glyph_ids = " + n +
            "_kern_pair_ids,\n    .values = " + n +
            "_kern_pair_values,\n    .pair_cnt = " + std::to_string(pairs.size()) +
            ",\n    .glyph_ids_size = " + (wide_ids ? "1" : "0") + ",\n};\n\n";
  }

  text += "static const lv_font_fmt_txt_dsc_t " + n + "_dsc = {\n    .glyph_bitmap = " + n +
          "_bitmaps,\n    .glyph_dsc = " + n + "_glyph_dsc,\n    .cmaps = " + n +
          "_cmaps,\n    .kern_dsc = " + (pairs.empty() ? std::string("NULL") : "&" + n + "_kern_pairs") +
          ",\n    .kern_scale = " + std::to_string(kern_scale) + ",\n    .cmap_num = " + std::to_string(maps.size()) +
          ",\n    .bpp = " + std::to_string(set.bpp) +
          ",\n    .kern_classes = 0,\n    .bitmap_format = LV_FONT_FMT_TXT_PLAIN,\n};\n\n";

  // LVGL's base_line is from the bottom of the line up to the baseline.
  text += "const lv_font_t " + n +
          " = {\n    .get_glyph_dsc = lv_font_get_glyph_dsc_fmt_txt,\n    .get_glyph_bitmap = "
          "lv_font_get_bitmap_fmt_txt,\n    .line_height = " +
          std::to_string(set.line_height) + ",\n    .base_line = " + std::to_string(set.line_height - set.baseline) +
          ",\n    .subpx = LV_FONT_SUBPX_NONE,\n    .underline_position = 0,\n    .underline_thickness = 0,\n"
          "    .dsc = &" +
          n + "_dsc,\n    .fallback = NULL,\n    .user_data = NULL,\n};\n";
  return text;
}
