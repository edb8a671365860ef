#include "read/truetype_check.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

namespace {

struct Table {
  std::uint64_t offset = 0;
  std::uint64_t length = 0;
  bool present = false;
};

// Reads big-endian fields at absolute offsets; a read past the end yields 0 and marks the reader
// failed, so a walk through hostile offsets ends in a refusal rather than a wild read.
class Bytes {
 public:
  explicit Bytes(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  bool inside(std::uint64_t at, std::uint64_t length) const {
    return at <= bytes_.size() && length <= bytes_.size() - at;
  }
  std::uint32_t u8(std::uint64_t at) {
    if (!inside(at, 1)) return fail();
    return bytes_[at];
  }
  std::uint32_t u16(std::uint64_t at) {
    if (!inside(at, 2)) return fail();
    return std::uint32_t{bytes_[at]} << 8 | bytes_[at + 1];
  }
  std::int32_t s16(std::uint64_t at) { return static_cast<std::int16_t>(u16(at)); }
  std::uint32_t u32(std::uint64_t at) {
    if (!inside(at, 4)) return fail();
    return std::uint32_t{bytes_[at]} << 24 | std::uint32_t{bytes_[at + 1]} << 16 | std::uint32_t{bytes_[at + 2]} << 8 |
           bytes_[at + 3];
  }
  bool failed() const { return failed_; }
  std::uint64_t size() const { return bytes_.size(); }

 private:
  std::uint32_t fail() {
    failed_ = true;
    return 0;
  }
  std::span<const std::uint8_t> bytes_;
  bool failed_ = false;
};

Failure refused(std::string reason) { return Failure{Fault::unsupported, std::move(reason)}; }

constexpr std::uint32_t tag(const char (&name)[5]) {
  return std::uint32_t(std::uint8_t(name[0])) << 24 | std::uint32_t(std::uint8_t(name[1])) << 16 |
         std::uint32_t(std::uint8_t(name[2])) << 8 | std::uint8_t(name[3]);
}

// The Unicode subtable's glyph for `code`: 0 for none. Format 4 for the Basic Multilingual Plane,
// 12 for all of Unicode.
std::uint32_t map_code_point(Bytes& bytes, std::uint64_t subtable, char32_t code) {
  const std::uint32_t format = bytes.u16(subtable);
  if (format == 12) {
    const std::uint32_t groups = bytes.u32(subtable + 12);
    for (std::uint64_t g = 0; g < groups && !bytes.failed(); ++g) {
      const std::uint64_t at = subtable + 16 + 12 * g;
      const std::uint32_t first = bytes.u32(at), last = bytes.u32(at + 4);
      if (code >= first && code <= last) return bytes.u32(at + 8) + (code - first);
    }
    return 0;
  }
  if (code > 0xFFFF) return 0;
  const std::uint32_t segments = bytes.u16(subtable + 6) / 2;
  const std::uint64_t ends = subtable + 14, starts = ends + 2 * segments + 2;
  const std::uint64_t deltas = starts + 2 * segments, range_offsets = deltas + 2 * segments;
  for (std::uint64_t s = 0; s < segments && !bytes.failed(); ++s) {
    if (code > bytes.u16(ends + 2 * s)) continue;
    const std::uint32_t start = bytes.u16(starts + 2 * s);
    if (code < start) return 0;
    const std::uint32_t delta = bytes.u16(deltas + 2 * s);
    const std::uint32_t range_offset = bytes.u16(range_offsets + 2 * s);
    if (range_offset == 0) return (code + delta) & 0xFFFF;
    const std::uint32_t glyph = bytes.u16(range_offsets + 2 * s + range_offset + 2 * (code - start));
    return glyph == 0 ? 0 : (glyph + delta) & 0xFFFF;
  }
  return 0;
}

struct Font {
  Table cmap, head, hhea, hmtx, maxp, loca, glyf, kern, gpos;
  std::uint32_t glyph_count = 0;
  std::uint32_t long_metrics = 0;
  bool long_loca = false;
};

// The glyph's range in glyf, from loca; nullopt (the reader failed) when loca or the range is out.
std::optional<std::pair<std::uint64_t, std::uint64_t>> glyph_range(Bytes& bytes, const Font& font,
                                                                   std::uint32_t glyph) {
  const std::uint64_t entry = font.long_loca ? 4 : 2;
  if ((std::uint64_t{glyph} + 2) * entry > font.loca.length) return std::nullopt;
  const std::uint64_t at = font.loca.offset + glyph * entry;
  const std::uint64_t start = font.long_loca ? bytes.u32(at) : std::uint64_t{bytes.u16(at)} * 2;
  const std::uint64_t end = font.long_loca ? bytes.u32(at + entry) : std::uint64_t{bytes.u16(at + entry)} * 2;
  if (start > end || end > font.glyf.length) return std::nullopt;
  return std::pair{font.glyf.offset + start, end - start};
}

// The rasteriser keeps a point's coordinates in 16 bits, and converts a composite's transformed
// points to them from floating point, which is undefined beyond their range: a composite whose
// points could land further out than this is refused.
constexpr double largest_coordinate = 32000;

// Checks a glyph's outline, and a composite's components down to `depth`; counts components in
// `components`, and gives in `extent` the largest distance of a point from the origin on either axis.
std::optional<Failure> check_glyph(Bytes& bytes, const Font& font, std::uint32_t glyph, int depth, int& components,
                                   double& extent) {
  const std::string name = std::string("glyph ") + std::to_string(glyph);
  extent = 0;
  if (glyph >= font.glyph_count) return refused(name + " is past the font's glyph count");
  const auto range = glyph_range(bytes, font, glyph);
  if (!range) return refused(name + "'s outline lies outside the glyf table");
  const auto [at, length] = *range;
  if (length == 0) return std::nullopt;
  if (length < 10) return refused(name + "'s outline is shorter than its header");
  const std::int32_t contours = bytes.s16(at);
  const std::uint64_t end = at + length;
  if (contours >= 0) {
    std::uint64_t p = at + 10 + 2 * std::uint64_t(contours);
    if (p + 2 > end) return refused(name + "'s contours run past its outline");
    std::int64_t last = -1;
    // Contours of a single point, whose flags are checked below.
    std::vector<std::uint64_t> lone_points;
    for (std::int32_t c = 0; c < contours; ++c) {
      const std::int64_t point = bytes.u16(at + 10 + 2 * std::uint64_t(c));
      if (point <= last) return refused(name + "'s contours' end points do not rise");
      if (point == last + 1) lone_points.push_back(std::uint64_t(point));
      last = point;
    }
    const std::uint64_t points = std::uint64_t(last + 1);
    p += 2 + bytes.u16(p);
    std::vector<std::uint8_t> flags;
    flags.reserve(points);
    while (flags.size() < points) {
      if (p >= end) return refused(name + "'s points run past its outline");
      const auto flag = static_cast<std::uint8_t>(bytes.u8(p++));
      std::uint64_t repeat = 1;
      if (flag & 8) {
        if (p >= end) return refused(name + "'s points run past its outline");
        repeat += bytes.u8(p++);
      }
      flags.insert(flags.end(), std::min<std::uint64_t>(repeat, points - flags.size()), flag);
    }
    // A contour that starts off the curve takes its start from its next point, which a contour of
    // one point does not have: the rasteriser would read past the glyph's points.
    for (std::uint64_t point : lone_points) {
      if (!(flags[point] & 1)) return refused(name + " has a contour of one point off the curve");
    }
    // The coordinates as the rasteriser reads them: deltas summed and kept in 16 bits.
    for (const int axis : {0, 1}) {
      const std::uint8_t short_bit = axis == 0 ? 2 : 4, same_bit = axis == 0 ? 16 : 32;
      std::int32_t value = 0;
      for (const std::uint8_t flag : flags) {
        if (flag & short_bit) {
          if (p + 1 > end) return refused(name + "'s coordinates run past its outline");
          const std::int32_t delta = std::int32_t(bytes.u8(p++));
          value += (flag & same_bit) ? delta : -delta;
        } else if (!(flag & same_bit)) {
          if (p + 2 > end) return refused(name + "'s coordinates run past its outline");
          value += bytes.s16(p);
          p += 2;
        }
        value = static_cast<std::int16_t>(value);
        extent = std::max(extent, double(value < 0 ? -value : value));
      }
    }
    return std::nullopt;
  }
  if (depth >= truetype_max_nesting) return refused(name + " nests composite glyphs too deeply (or in a loop)");
  std::uint64_t p = at + 10;
  for (;;) {
    if (p + 4 > end) return refused(name + "'s components run past its outline");
    const std::uint32_t flags = bytes.u16(p);
    const std::uint32_t component = bytes.u16(p + 2);
    std::uint64_t size = 4 + ((flags & 1) ? 4 : 2);
    size += (flags & 8) ? 2 : (flags & 0x40) ? 4 : (flags & 0x80) ? 8 : 0;
    if (p + size > end) return refused(name + "'s components run past its outline");
    // The rasteriser places a component by offsets only. Its index is unsigned: fonts of CJK
    // characters hold more than 32767 glyphs, and the recursion below checks it against their count.
    if (!(flags & 2)) return refused(name + " places a component by matching points, which is not drawn");
    if (++components > truetype_max_components) return refused(name + " has too many components");
    double inner_extent = 0;
    if (std::optional<Failure> inner = check_glyph(bytes, font, component, depth + 1, components, inner_extent))
      return inner;
    std::uint64_t q = p + 4;
    double dx = 0, dy = 0;
    if (flags & 1) {
      dx = bytes.s16(q), dy = bytes.s16(q + 2);
      q += 4;
    } else {
      dx = static_cast<std::int8_t>(bytes.u8(q)), dy = static_cast<std::int8_t>(bytes.u8(q + 1));
      q += 2;
    }
    double a = 1, b = 0, c = 0, d = 1;
    const auto f2dot14 = [&](std::uint64_t at_field) { return bytes.s16(at_field) / 16384.0; };
    if (flags & 8) {
      a = d = f2dot14(q);
    } else if (flags & 0x40) {
      a = f2dot14(q), d = f2dot14(q + 2);
    } else if (flags & 0x80) {
      a = f2dot14(q), b = f2dot14(q + 2), c = f2dot14(q + 4), d = f2dot14(q + 6);
    }
    const double m = std::sqrt(a * a + b * b), n = std::sqrt(c * c + d * d);
    const double x_reach = m * ((std::abs(a) + std::abs(c)) * inner_extent + std::abs(dx));
    const double y_reach = n * ((std::abs(b) + std::abs(d)) * inner_extent + std::abs(dy));
    if (x_reach > largest_coordinate || y_reach > largest_coordinate)
      return refused(name + " moves or scales a component beyond the outline's coordinates");
    extent = std::max({extent, x_reach, y_reach});
    p += size;
    if (!(flags & 0x20)) return std::nullopt;
  }
}

// The PairPos adjustment of the pair's x advance in GPOS, or of the kern table without GPOS.
int pair_adjustment(Bytes& bytes, const Font& font, std::uint32_t left, std::uint32_t right);

std::int64_t coverage_index(Bytes& bytes, std::uint64_t coverage, std::uint32_t glyph) {
  const std::uint32_t format = bytes.u16(coverage), count = bytes.u16(coverage + 2);
  for (std::uint64_t i = 0; i < count && !bytes.failed(); ++i) {
    if (format == 1 && bytes.u16(coverage + 4 + 2 * i) == glyph) return std::int64_t(i);
    if (format == 2) {
      const std::uint64_t record = coverage + 4 + 6 * i;
      const std::uint32_t first = bytes.u16(record), last = bytes.u16(record + 2);
      if (glyph >= first && glyph <= last) return bytes.u16(record + 4) + (glyph - first);
    }
  }
  return -1;
}

std::uint32_t glyph_class(Bytes& bytes, std::uint64_t table, std::uint32_t glyph) {
  const std::uint32_t format = bytes.u16(table);
  if (format == 1) {
    const std::uint32_t first = bytes.u16(table + 2), count = bytes.u16(table + 4);
    return glyph >= first && glyph - first < count ? bytes.u16(table + 6 + 2 * (glyph - first)) : 0;
  }
  const std::uint32_t count = bytes.u16(table + 2);
  for (std::uint64_t i = 0; i < count && !bytes.failed(); ++i) {
    const std::uint64_t record = table + 4 + 6 * i;
    if (glyph >= bytes.u16(record) && glyph <= bytes.u16(record + 2)) return bytes.u16(record + 4);
  }
  return 0;
}

// The bytes of a value record of `format`: two for each bit set.
std::uint64_t value_size(std::uint32_t format) { return 2 * std::uint64_t(std::popcount(format & 0xFF)); }

// The x advance adjustment in a value record, when its format has one (XAdvance, after XPlacement
// and YPlacement when present).
int x_advance(Bytes& bytes, std::uint64_t record, std::uint32_t format) {
  if (!(format & 4)) return 0;
  return bytes.s16(record + 2 * std::uint64_t(std::popcount(format & 3)));
}

// Calls `visit` with each GPOS pair adjustment subtable, in the font's order, until it returns true;
// whether one did.
template <typename Visit>
bool visit_pair_subtables(Bytes& bytes, const Font& font, Visit visit) {
  const std::uint64_t gpos = font.gpos.offset;
  const std::uint64_t lookups = gpos + bytes.u16(gpos + 8);
  const std::uint32_t lookup_count = bytes.u16(lookups);
  for (std::uint64_t l = 0; l < lookup_count && !bytes.failed(); ++l) {
    const std::uint64_t lookup = lookups + bytes.u16(lookups + 2 + 2 * l);
    if (bytes.u16(lookup) != 2) continue;
    const std::uint32_t subtables = bytes.u16(lookup + 4);
    for (std::uint64_t s = 0; s < subtables && !bytes.failed(); ++s) {
      if (visit(lookup + bytes.u16(lookup + 6 + 2 * s))) return true;
    }
  }
  return false;
}

int pair_adjustment(Bytes& bytes, const Font& font, std::uint32_t left, std::uint32_t right) {
  if (font.gpos.present) {
    int adjustment = 0;
    visit_pair_subtables(bytes, font, [&](std::uint64_t table) {
      const std::int64_t covered = coverage_index(bytes, table + bytes.u16(table + 2), left);
      if (covered < 0) return false;
      const std::uint32_t format1 = bytes.u16(table + 4), format2 = bytes.u16(table + 6);
      const std::uint64_t size1 = value_size(format1), size2 = value_size(format2);
      if (bytes.u16(table) == 1) {
        if (std::uint64_t(covered) >= bytes.u16(table + 8)) return false;
        const std::uint64_t set = table + bytes.u16(table + 10 + 2 * std::uint64_t(covered));
        const std::uint32_t pairs = bytes.u16(set);
        for (std::uint64_t p = 0; p < pairs && !bytes.failed(); ++p) {
          const std::uint64_t record = set + 2 + p * (2 + size1 + size2);
          if (bytes.u16(record) != right) continue;
          adjustment = x_advance(bytes, record + 2, format1);
          return true;
        }
      } else if (bytes.u16(table) == 2) {
        const std::uint32_t class1 = glyph_class(bytes, table + bytes.u16(table + 8), left);
        const std::uint32_t class2 = glyph_class(bytes, table + bytes.u16(table + 10), right);
        const std::uint32_t count1 = bytes.u16(table + 12), count2 = bytes.u16(table + 14);
        if (class1 >= count1 || class2 >= count2) return false;
        adjustment =
            x_advance(bytes, table + 16 + (std::uint64_t{class1} * count2 + class2) * (size1 + size2), format1);
        return true;
      }
      return false;
    });
    return adjustment;
  }
  if (!font.kern.present) return 0;
  const std::uint64_t kern = font.kern.offset;
  // The first subtable, when it is horizontal format 0 kerning.
  if (bytes.u16(kern) != 0 || bytes.u16(kern + 2) == 0 || (bytes.u16(kern + 8) & 0xFF03) != 1) return 0;
  const std::uint32_t pairs = bytes.u16(kern + 10);
  for (std::uint64_t p = 0; p < pairs && !bytes.failed(); ++p) {
    const std::uint64_t record = kern + 18 + 6 * p;
    if (bytes.u16(record) == left && bytes.u16(record + 2) == right) return bytes.s16(record + 4);
  }
  return 0;
}

// Whether any pair starts with `left`: a GPOS pair adjustment whose coverage holds it, or a kern
// table pair.
bool kerns_as_left(Bytes& bytes, const Font& font, std::uint32_t left) {
  if (!font.gpos.present) return font.kern.present;
  return visit_pair_subtables(
      bytes, font, [&](std::uint64_t table) { return coverage_index(bytes, table + bytes.u16(table + 2), left) >= 0; });
}

}  // namespace

std::variant<CheckedFont, Failure> check_truetype(std::span<const std::uint8_t> data,
                                                  std::span<const char32_t> code_points, bool kerning) {
  Bytes bytes(data);
  if (data.size() < 12) return refused("too short for a font's offset table");
  const std::uint32_t version = bytes.u32(0);
  if (version == tag("OTTO"))
    return refused("OpenType with PostScript outlines (CFF) is not read; TrueType outlines are");
  if (version == tag("ttcf")) return refused("a font collection is not read; give one font");
  if (version != 0x00010000 && version != tag("true")) return refused("not a TrueType font");
  const std::uint32_t count = bytes.u16(4);
  if (!bytes.inside(12, 16 * std::uint64_t{count})) return refused("the table directory runs past the end of the file");
  Font font;
  const std::pair<std::uint32_t, Table*> wanted[] = {
      {tag("cmap"), &font.cmap}, {tag("head"), &font.head}, {tag("hhea"), &font.hhea},
      {tag("hmtx"), &font.hmtx}, {tag("maxp"), &font.maxp}, {tag("loca"), &font.loca},
      {tag("glyf"), &font.glyf}, {tag("kern"), &font.kern}, {tag("GPOS"), &font.gpos}};
  for (std::uint64_t i = 0; i < count; ++i) {
    const std::uint64_t record = 12 + 16 * i;
    const std::uint32_t name = bytes.u32(record);
    if (name == tag("CFF ") || name == tag("CFF2"))
      return refused("OpenType with PostScript outlines (CFF) is not read; TrueType outlines are");
    for (const auto& [wanted_tag, table] : wanted) {
      // The first of two records with one tag is the one the rasteriser takes.
      if (name != wanted_tag || table->present) continue;
      *table = Table{bytes.u32(record + 8), bytes.u32(record + 12), true};
      if (!bytes.inside(table->offset, table->length)) {
        const char text[] = {char(name >> 24), char(name >> 16), char(name >> 8), char(name), 0};
        return refused(std::string("the ") + text + " table runs past the end of the file");
      }
    }
  }
  const std::pair<const char*, const Table*> required[] = {
      {"glyf", &font.glyf}, {"loca", &font.loca}, {"cmap", &font.cmap}, {"head", &font.head},
      {"hhea", &font.hhea}, {"hmtx", &font.hmtx}, {"maxp", &font.maxp}};
  for (const auto& [name, table] : required) {
    if (!table->present) return refused(std::string("the font has no ") + name + " table");
  }
  if (font.head.length < 54) return refused("the head table is too short");
  if (font.hhea.length < 36) return refused("the hhea table is too short");
  if (font.maxp.length < 6) return refused("the maxp table is too short");
  CheckedFont checked;
  checked.units_per_em = int(bytes.u16(font.head.offset + 18));
  if (checked.units_per_em < 16 || checked.units_per_em > 16384)
    return refused("the font's em is not 16 to 16384 units");
  font.long_loca = bytes.s16(font.head.offset + 50) != 0;
  font.glyph_count = bytes.u16(font.maxp.offset + 4);
  font.long_metrics = bytes.u16(font.hhea.offset + 34);
  if (font.long_metrics == 0 || font.long_metrics > font.glyph_count)
    return refused("the hhea table's count of metrics does not fit the glyph count");
  if (4 * std::uint64_t{font.long_metrics} + 2 * std::uint64_t{font.glyph_count - font.long_metrics} > font.hmtx.length)
    return refused("the hmtx table is shorter than its glyphs' metrics");

  // The Unicode subtable, as the rasteriser would choose it: Windows Unicode (BMP or full), or any
  // Unicode platform encoding.
  const std::uint64_t cmap = font.cmap.offset;
  const std::uint32_t encodings = bytes.u16(cmap + 2);
  if (4 + 8 * std::uint64_t{encodings} > font.cmap.length) return refused("the cmap's encodings run past its table");
  std::uint64_t subtable = 0;
  for (std::uint64_t i = 0; i < encodings; ++i) {
    const std::uint64_t record = cmap + 4 + 8 * i;
    const std::uint32_t platform = bytes.u16(record), encoding = bytes.u16(record + 2);
    if ((platform == 3 && (encoding == 1 || encoding == 10)) || platform == 0) {
      subtable = cmap + bytes.u32(record + 4);
      break;
    }
  }
  if (subtable == 0) return refused("the font maps no Unicode characters");
  const std::uint32_t format = bytes.u16(subtable);
  const std::uint64_t length = format == 12 ? bytes.u32(subtable + 4) : bytes.u16(subtable + 2);
  if (format != 4 && format != 12) return refused("the font's Unicode map is not format 4 or 12");
  if (bytes.failed() || !bytes.inside(subtable, length))
    return refused("the cmap's Unicode map runs past the end of the file");
  // Within its own length: a reader over the subtable alone.
  Bytes map(data.subspan(subtable, length));
  for (char32_t code : code_points) {
    const std::uint32_t glyph = map_code_point(map, 0, code);
    if (map.failed()) return refused("the cmap's Unicode map reaches past its length");
    if (glyph >= font.glyph_count) return refused("the cmap maps a character to a glyph the font does not have");
    checked.glyphs.push_back(std::uint16_t(glyph));
  }
  // A glyph whose outline the rasteriser cannot be trusted with is left out, with the reason; the
  // others are drawn. Each is read on its own, so that one glyph's read past the end fails it alone.
  for (std::size_t i = 0; i < checked.glyphs.size(); ++i) {
    if (checked.glyphs[i] == 0) continue;
    Bytes glyph_bytes(data);
    int components = 0;
    double extent = 0;
    std::optional<Failure> bad = check_glyph(glyph_bytes, font, checked.glyphs[i], 0, components, extent);
    if (!bad && glyph_bytes.failed())
      bad = refused("glyph " + std::to_string(checked.glyphs[i]) + "'s outline reaches past the end of the file");
    if (!bad) continue;
    checked.glyphs[i] = 0;
    checked.undrawable.push_back({i, std::move(bad->reason)});
  }
  if (bytes.failed()) return refused("the font's tables reach past the end of the file");
  if (!kerning) return checked;
  Bytes kerning_bytes(data);
  for (std::size_t l = 0; l < checked.glyphs.size(); ++l) {
    // Most glyphs begin no pair: one walk tells, rather than one for each glyph after them.
    if (checked.glyphs[l] == 0 || !kerns_as_left(kerning_bytes, font, checked.glyphs[l])) continue;
    for (std::size_t r = 0; r < checked.glyphs.size(); ++r) {
      if (checked.glyphs[r] == 0) continue;
      const int adjust = pair_adjustment(kerning_bytes, font, checked.glyphs[l], checked.glyphs[r]);
      if (kerning_bytes.failed()) return refused("the font's kerning reaches past the end of the file");
      if (adjust != 0) checked.kerning.push_back({l, r, adjust});
    }
  }
  return checked;
}
