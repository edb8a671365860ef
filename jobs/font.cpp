#include "jobs/font.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>
#include <optional>

#include "containers/font_header.h"
#include "containers/font_lvgl.h"
#include "containers/font_sheet.h"
#include "job/convert.h"
#include "job/job_output.h"
#include "read/truetype_check.h"
#include "read/truetype_font.h"

namespace {

// "U+00E9", as the warnings name a character.
std::string character_name(char32_t code) {
  constexpr char digits[] = "0123456789ABCDEF";
  std::string hex;
  for (std::uint32_t value = code; value != 0 || hex.size() < 4; value >>= 4)
    hex.insert(hex.begin(), digits[value & 15]);
  return "U+" + hex;
}

// A stage's refusal as this job's outcome: what it does not take is a font, not a picture.
Outcome font_refusal(Failure failure) {
  if (failure.fault == Fault::unsupported) return refusal(Ending::unsupported_font, std::move(failure.reason));
  return refusal(std::move(failure));
}

int rounded(double value) { return static_cast<int>(std::lround(value)); }

// The raster's coverage as levels of `bpp` bits (the nearest level; at 1 bit, ink from half
// coverage), its box trimmed to the ink.
Glyph place(const GlyphRaster& raster, int bpp, std::vector<std::uint8_t>& levels) {
  const int top_level = (1 << bpp) - 1;
  std::vector<std::uint8_t> quantised(raster.coverage.size());
  for (std::size_t i = 0; i < quantised.size(); ++i)
    quantised[i] = static_cast<std::uint8_t>((raster.coverage[i] * top_level + 127) / 255);
  int left = raster.width, right = -1, top = raster.height, bottom = -1;
  for (int y = 0; y < raster.height; ++y) {
    for (int x = 0; x < raster.width; ++x) {
      if (quantised[std::size_t(y) * std::size_t(raster.width) + std::size_t(x)] == 0) continue;
      left = std::min(left, x);
      right = std::max(right, x);
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
  }
  Glyph glyph;
  glyph.levels_offset = levels.size();
  if (right < 0) return glyph;
  glyph.width = right - left + 1;
  glyph.height = bottom - top + 1;
  glyph.x_offset = raster.left + left;
  glyph.y_top = -(raster.top + top);
  for (int y = top; y <= bottom; ++y) {
    const auto row = quantised.begin() + std::ptrdiff_t(y) * raster.width;
    levels.insert(levels.end(), row + left, row + right + 1);
  }
  return glyph;
}

}  // namespace

std::variant<GlyphSet, Failure> rasterise_font(std::span<const std::uint8_t> bytes, const FontOptions& options,
                                               std::vector<std::string>& warnings) {
  std::vector<char32_t> wanted = options.code_points;
  if (wanted.empty()) {
    for (char32_t code = 0x20; code <= 0x7E; ++code) wanted.push_back(code);
  }
  std::sort(wanted.begin(), wanted.end());
  wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());
  if (wanted.size() > font_max_characters)
    return Failure{Fault::unsupported, std::string("more than ") + std::to_string(font_max_characters) + " characters"};
  std::variant<CheckedFont, Failure> checked = check_truetype(bytes, wanted, options.kerning);
  if (Failure* refused = std::get_if<Failure>(&checked)) return std::move(*refused);
  const CheckedFont& font = std::get<CheckedFont>(checked);
  const std::unique_ptr<TrueTypeFont> raster = TrueTypeFont::open(bytes);
  if (!raster) return Failure{Fault::unsupported, "the font's tables are not read by the rasteriser"};

  const float scale = raster->scale_for_em(static_cast<float>(options.size_px));
  GlyphSet set;
  set.bpp = options.bpp;
  set.size_px = options.size_px;
  int ascent = 0, descent = 0, line_gap = 0;
  raster->vertical_metrics(ascent, descent, line_gap);
  set.baseline = rounded(double(ascent) * scale);
  set.line_height = rounded(double(ascent - descent + line_gap) * scale);
  // A box wider or taller than this is no glyph of an em this size: a hostile bounding box.
  const int largest = 8 * options.size_px + 16;
  // The characters the font lacks, named once as runs ("U+0080-U+009F, U+00AD").
  std::string missing;
  bool in_run = false;
  char32_t run_start = 0, run_end = 0;
  const auto end_run = [&] {
    if (!in_run) return;
    if (!missing.empty()) missing += ", ";
    missing += character_name(run_start);
    if (run_end != run_start) missing.append("-").append(character_name(run_end));
  };
  // The characters whose glyphs are not drawn, named with why: a few, and how many more.
  std::string undrawable;
  for (std::size_t k = 0; k < font.undrawable.size() && k < 5; ++k)
    undrawable += (k == 0 ? "" : ", ") + character_name(wanted[font.undrawable[k].index]) + " (" +
                  font.undrawable[k].reason + ")";
  if (font.undrawable.size() > 5) undrawable += " and " + std::to_string(font.undrawable.size() - 5) + " more";
  // A few bytes of font, at a large size over a wide range, ask for gigabytes of bitmaps: their
  // boxes are counted from the outlines before any glyph is drawn.
  std::vector<bool> left_out(wanted.size());
  for (const auto& glyph : font.undrawable) left_out[glyph.index] = true;
  std::uint64_t pixels = 0;
  for (std::size_t i = 0; i < wanted.size(); ++i) {
    if (!left_out[i] && font.glyphs[i] != 0) pixels += raster->box_pixels(font.glyphs[i], scale, largest);
  }
  if (pixels > options.pixel_limit)
    return Failure{Fault::unsupported, "the glyphs at " + std::to_string(options.size_px) + " px would cover " +
                                           std::to_string(pixels) + " pixels, more than the " +
                                           std::to_string(options.pixel_limit) +
                                           " allowed (--max-pixels raises the limit; a smaller size or fewer "
                                           "characters take less)"};
  for (std::size_t i = 0; i < wanted.size(); ++i) {
    const int index = font.glyphs[i];
    if (left_out[i]) continue;
    // Glyph 0 is the font's "missing" box, which no character the font has maps to.
    if (index == 0) {
      if (!in_run || wanted[i] != run_end + 1) {
        end_run();
        run_start = wanted[i];
        in_run = true;
      }
      run_end = wanted[i];
      continue;
    }
    if (std::optional<Failure> failed =
            within_memory("the glyphs do not fit in memory", [&]() -> std::optional<Failure> {
              const std::optional<GlyphRaster> drawn = raster->raster(index, scale, largest);
              if (!drawn)
                return Failure{Fault::unsupported, character_name(wanted[i]) + "'s box is far larger than its em"};
              Glyph glyph = place(*drawn, options.bpp, set.levels);
              glyph.code_point = wanted[i];
              glyph.advance_16 = rounded(double(raster->advance(index)) * scale * 16);
              // An advance of many ems is as hostile as such a box, and would not fit the tables' fields.
              if (glyph.advance_16 > largest * 16)
                return Failure{Fault::unsupported, character_name(wanted[i]) + "'s advance is far larger than its em"};
              set.glyphs.push_back(glyph);
              return std::nullopt;
            }))
      return std::move(*failed);
  }
  end_run();
  if (!missing.empty()) warnings.push_back("the font has no " + missing + "; left out");
  if (!undrawable.empty()) warnings.push_back("cannot draw " + undrawable + "; left out");
  if (set.glyphs.empty()) return Failure{Fault::unsupported, "the font has none of the characters asked for"};
  for (const CheckedFont::Kern& kern : font.kerning) {
    const int adjust = rounded(double(kern.adjust) * scale * 16);
    if (adjust != 0) set.kerning.push_back({wanted[kern.left], wanted[kern.right], adjust});
  }
  std::sort(set.kerning.begin(), set.kerning.end(), [](const KerningPair& a, const KerningPair& b) {
    return a.left != b.left ? a.left < b.left : a.right < b.right;
  });
  return set;
}

Outcome font(const JobPaths& paths, const FontOptions& options, JobProgress& progress) {
  std::vector<std::string> warnings;
  std::variant<std::string, std::vector<std::uint8_t>, Failure> made = Failure{};
  {
    std::variant<FileView, Outcome> opened = open_input(paths.first);
    if (Outcome* refused = std::get_if<Outcome>(&opened)) return std::move(*refused);
    const FileView& view = std::get<FileView>(opened);
    std::variant<GlyphSet, Failure> glyphs = rasterise_font(view.bytes(), options, warnings);
    if (Failure* refused = std::get_if<Failure>(&glyphs)) return font_refusal(std::move(*refused));
    const GlyphSet& set = std::get<GlyphSet>(glyphs);
    if (std::optional<Failure> failed = within_memory("the font's output does not fit in memory", [&] {
          if (options.output == FontOutput::sheet) {
            if (std::optional<std::vector<std::uint8_t>> png = font_sheet(set))
              made = std::move(*png);
            else
              made = Failure{Fault::out_of_memory, {}};
            return;
          }
          std::variant<std::string, Failure> text =
              options.output == FontOutput::lvgl
                  ? lvgl_font_source(set, options.c_array, options.c_attribute)
                  : font_header(set, options.c_array, options.c_attribute, options.kerning);
          if (std::string* source = std::get_if<std::string>(&text))
            made = std::move(*source);
          else
            made = std::get<Failure>(std::move(text));
        }))
      made = std::move(*failed);
  }  // The font is released here, before the output is written.
  if (Failure* refused = std::get_if<Failure>(&made)) return font_refusal(std::move(*refused));
  std::variant<JobOutput, Outcome> begun = paths.output != nullptr
                                               ? JobOutput::to_stream(*paths.output, progress)
                                               : JobOutput::to_file(paths.second, progress, paths.output_links);
  if (Outcome* refused = std::get_if<Outcome>(&begun)) return std::move(*refused);
  JobOutput& output = std::get<JobOutput>(begun);
  const std::optional<Outcome> unwritten =
      made.index() == 0 ? output.write(std::string_view(std::get<std::string>(made)))
                        : output.write(std::span<const std::uint8_t>(std::get<std::vector<std::uint8_t>>(made)));
  if (unwritten) return *unwritten;
  return output.finish(paths.second, progress, std::move(warnings));
}
