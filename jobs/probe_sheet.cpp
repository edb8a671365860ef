#include "jobs/probe_sheet.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <new>
#include <optional>
#include <vector>

#include "containers/png_output.h"
#include "files/file_view.h"
#include "files/output_file.h"
#include "files/view_access.h"
#include "format/pixel_format.h"
#include "job/convert.h"
#include "pixels/pixels.h"

namespace {

// A glyph of the caption font: seven rows of five pixels, the leftmost pixel in bit 4.
struct Glyph {
  char letter;
  std::array<std::uint8_t, 7> rows;
};

// Digits, capitals, a small x for sizes and the space: all a caption needs.
constexpr Glyph font[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}}, {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}}, {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}}, {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}}, {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}}, {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}}, {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}}, {'D', {0x1C, 0x12, 0x11, 0x11, 0x11, 0x12, 0x1C}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}}, {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}}, {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}}, {'J', {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C}},
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}}, {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}}, {'N', {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'Q', {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}}, {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}}, {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
    {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}}, {'X', {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11}},
    {'Y', {0x11, 0x11, 0x11, 0x0A, 0x04, 0x04, 0x04}}, {'Z', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F}},
    {'x', {0x00, 0x00, 0x11, 0x0A, 0x04, 0x0A, 0x11}}, {' ', {0, 0, 0, 0, 0, 0, 0}},
};
constexpr std::uint32_t glyph_width = 5;
constexpr std::uint32_t glyph_height = 7;
constexpr std::uint32_t glyph_advance = glyph_width + 1;
constexpr std::uint8_t ground = 0x40;
constexpr std::uint8_t ink = 0xFF;

const Glyph& glyph_of(char letter) {
  for (const Glyph& glyph : font) {
    if (glyph.letter == letter) return glyph;
  }
  return font[std::size(font) - 1];
}

// "1 RGB565 320x240 BE": the rank, the format in capitals, the size and the byte order when told.
std::string caption_of(std::size_t rank, const ProbeGuess& guess) {
  std::string format(guess.format->name);
  for (char& letter : format) letter = static_cast<char>(letter >= 'a' && letter <= 'z' ? letter - 'a' + 'A' : letter);
  std::string caption =
      std::to_string(rank) + " " + format + " " + std::to_string(guess.width) + "x" + std::to_string(guess.height);
  if (guess.format->byte_order_matters && guess.order_told)
    caption += guess.bytes == ByteOrder::high_first ? " BE" : " LE";
  return caption;
}

// One reading's place on the sheet.
struct Panel {
  const ProbeGuess* guess;
  std::string caption;
  std::uint32_t left;     // its first column on the sheet
  std::uint32_t width;    // the columns the picture takes
  std::uint32_t height;   // the rows it takes, from the top
  std::uint32_t columns;  // the columns the panel takes: the picture's or the caption's, the wider
};

// Writes the sheet's rows into `triples` (BGR, width * height) from the dump's rows, read a window
// at a time; a refusal when the dump cannot be read.
std::optional<Outcome> draw_pictures(FileView& view, std::span<const Panel> panels, std::uint32_t width,
                                     std::vector<std::uint8_t>& triples) {
  std::vector<BgraQuad> row;
  for (const Panel& panel : panels) {
    const ProbeGuess& guess = *panel.guess;
    FormatSettings settings;
    settings.format = guess.format->format;
    settings.word.bytes = guess.bytes;
    if ((format_info(settings.format).options & format_option::expand) != 0)
      settings.word.expansion = Expansion::replicate;
    const std::uint64_t row_bytes = std::uint64_t{guess.width} * guess.format->bytes_per_pixel;
    row.resize(guess.width);
    for (std::uint32_t y = 0; y < panel.height; ++y) {
      const std::uint64_t source_row = std::uint64_t{y} * guess.height / panel.height;
      if (std::optional<SystemError> error = view.map_window(source_row * row_bytes, row_bytes))
        return refusal(Ending::cannot_open_input, {}, describe(*error));
      const std::span<const std::uint8_t> bytes = view.bytes();
      if (access_views([&] { decode_rows(settings, 0, bytes, guess.width, 1, row); }) != nullptr)
        return refusal(Ending::cannot_open_input, cut_short_reason);
      std::uint8_t* out = triples.data() + (std::size_t{y} * width + panel.left) * 3;
      for (std::uint32_t x = 0; x < panel.width; ++x) {
        const BgraQuad& pixel = row[std::uint64_t{x} * guess.width / panel.width];
        *out++ = pixel.blue;
        *out++ = pixel.green;
        *out++ = pixel.red;
      }
    }
  }
  return std::nullopt;
}

void draw_caption(const Panel& panel, std::uint32_t width, std::vector<std::uint8_t>& triples) {
  const std::uint32_t top = sheet_height + (sheet_caption - glyph_height) / 2;
  for (std::size_t i = 0; i < panel.caption.size(); ++i) {
    const Glyph& glyph = glyph_of(panel.caption[i]);
    const std::uint32_t left = panel.left + 1 + static_cast<std::uint32_t>(i) * glyph_advance;
    for (std::uint32_t y = 0; y < glyph_height; ++y) {
      for (std::uint32_t x = 0; x < glyph_width; ++x) {
        if ((glyph.rows[y] >> (glyph_width - 1 - x) & 1) == 0) continue;
        std::uint8_t* out = triples.data() + (std::size_t{top + y} * width + left + x) * 3;
        out[0] = out[1] = out[2] = ink;
      }
    }
  }
}

}  // namespace

Outcome draw_probe_sheet(const std::string& dump, std::span<const ProbeGuess> guesses, const std::string& sheet) {
  std::vector<Panel> panels;
  std::uint32_t width = 0;
  for (std::size_t i = 0; i < guesses.size() && i < sheet_readings; ++i) {
    const ProbeGuess& guess = guesses[i];
    Panel panel{&guess, caption_of(i + 1, guess), width + (i == 0 ? 0 : sheet_gap), 0, sheet_height, 0};
    const std::uint64_t at_height = (std::uint64_t{guess.width} * sheet_height + guess.height / 2) / guess.height;
    if (at_height <= sheet_widest) {
      panel.width = static_cast<std::uint32_t>(std::max<std::uint64_t>(1, at_height));
    } else {
      panel.width = sheet_widest;
      panel.height = static_cast<std::uint32_t>(
          std::max<std::uint64_t>(1, (std::uint64_t{guess.height} * sheet_widest + guess.width / 2) / guess.width));
    }
    const auto caption_columns = static_cast<std::uint32_t>(panel.caption.size()) * glyph_advance + 1;
    panel.columns = std::max(panel.width, caption_columns);
    width = panel.left + panel.columns;
    panels.push_back(std::move(panel));
  }
  if (panels.empty()) return refusal(Ending::cannot_open_input, "no reading to draw");
  const std::uint32_t height = sheet_height + sheet_caption;
  std::vector<std::uint8_t> triples;
  if (std::optional<Failure> failed = within_memory("the sheet's pixels do not fit in memory",
                                                    [&] { triples.assign(std::size_t{width} * height * 3, ground); }))
    return refusal(std::move(*failed));
  {
    std::variant<FileView, Outcome> opened = open_input(dump, Ending::cannot_open_input, 1);
    if (Outcome* refused = std::get_if<Outcome>(&opened)) return std::move(*refused);
    if (std::optional<Outcome> refused = draw_pictures(std::get<FileView>(opened), panels, width, triples))
      return std::move(*refused);
  }
  for (const Panel& panel : panels) draw_caption(panel, width, triples);

  std::optional<PngOutput> png = PngOutput::begin(width, height, PngColour::rgb);
  if (!png) return refusal(Ending::out_of_memory);
  std::vector<std::uint8_t> file;
  const auto take = [&] {
    file.insert(file.end(), png->pending().begin(), png->pending().end());
    png->clear_pending();
  };
  for (std::uint32_t y = 0; y < height; ++y) {
    if (!png->add_row(triples.data() + std::size_t{y} * width * 3)) return refusal(Ending::out_of_memory);
    take();
  }
  if (!png->finish()) return refusal(Ending::out_of_memory);
  take();
  if (std::optional<SystemError> error = save_output_file(sheet.c_str(), {file}))
    return refusal(Ending::not_saved, {}, describe(*error));
  return {};
}
