// Fuzz entry point of the decoders that unpack reads raw images with: any bytes as a band of rows
// of any format. The first three bytes choose the band (width and rows, 1 to 256 each) and the
// options (bit 0: RGB565's rows reversed; 1: high byte first; 2: blue high; 3: low bits filled;
// 4: mono1 in pages; the high three bits and the format index counted on from there); the rest is
// the raw input, cut or padded with zeros to the band's bytes as unpack pads a short input.
// Whatever they are, every quad is written and nothing outside the band is read; RGB565's kernels,
// which unpack uses for BMP rows, give the colours that its general decoder gives, and leave each
// row's padding zero. The same entry replays the saved inputs in the normal test suite, where
// assert() may be compiled out: the checks abort by themselves.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "format/pixel_format.h"

namespace {

void require(bool holds) {
  if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const std::uint32_t width = 1u + data[0];
  const std::uint32_t count = 1u + data[1];
  const std::uint8_t choice = data[2];
  const std::span<const FormatInfo> formats = pixel_formats();
  FormatSettings settings;
  settings.format = formats[(choice >> 5) % formats.size()].format;
  settings.word.bytes = choice & 2 ? ByteOrder::high_first : ByteOrder::low_first;
  settings.word.channels = choice & 4 ? ChannelOrder::bgr : ChannelOrder::rgb;
  settings.word.expansion = choice & 8 ? Expansion::replicate : Expansion::zero;
  settings.pages = (choice & 16) != 0;
  const ImageLayout layout = image_layout(settings, width, count);
  // A copy of exactly the band's bytes, so that a read past them is one the sanitizers see.
  const std::span<const std::uint8_t> input(data + 3, size - 3);
  std::vector<std::uint8_t> raw(static_cast<std::size_t>(layout.total), 0);
  for (std::size_t k = 0; k < raw.size() && k < input.size(); ++k) raw[k] = input[k];
  std::vector<BgraQuad> palette(layout.palette_bytes / 4);
  for (std::size_t k = 0; k < palette.size(); ++k)
    palette[k] = {raw[4 * k], raw[4 * k + 1], raw[4 * k + 2], raw[4 * k + 3]};
  settings.palette = palette;
  const std::span<const std::uint8_t> all(raw);
  // Decoded over two different fillings: a quad left unwritten keeps its filling, so the two differ
  // there. (Any one filling is a quad some input decodes to.)
  const auto decoded = [&](BgraQuad filling) {
    std::vector<BgraQuad> quads(std::size_t{width} * count, filling);
    decode_rows(
        settings, 0,
        all.subspan(static_cast<std::size_t>(layout.palette_bytes), static_cast<std::size_t>(layout.plane_bytes)),
        width, count, quads);
    if (layout.alpha_plane_bytes != 0)
      decode_rows(settings, 1, all.subspan(static_cast<std::size_t>(layout.palette_bytes + layout.plane_bytes)), width,
                  count, quads);
    return quads;
  };
  const std::vector<BgraQuad> quads = decoded({1, 2, 3, 4});
  const std::vector<BgraQuad> again = decoded({254, 253, 252, 251});
  for (std::size_t k = 0; k < quads.size(); ++k)
    require(quads[k].blue == again[k].blue && quads[k].green == again[k].green && quads[k].red == again[k].red &&
            quads[k].alpha == again[k].alpha);
  if (settings.format != PixelFormat::rgb565) return 0;
  // RGB565 into padded rows of triples, as unpack writes a BMP's rows.
  const bool reverse = (choice & 1) != 0;
  const std::uint32_t stride = (width * 3 + 3) / 4 * 4;
  std::vector<std::uint8_t> rows(std::size_t{stride} * count, 0xA5);
  expand_rows(raw, stride, width, count, reverse, settings.word, rows);
  for (std::uint32_t y = 0; y < count; ++y) {
    const std::uint8_t* row = rows.data() + std::size_t{y} * stride;
    const BgraQuad* from = quads.data() + std::size_t{reverse ? count - 1 - y : y} * width;
    for (std::uint32_t x = 0; x < width; ++x)
      require(row[3 * x] == from[x].blue && row[3 * x + 1] == from[x].green && row[3 * x + 2] == from[x].red);
    for (std::uint32_t at = width * 3; at < stride; ++at) require(row[at] == 0);
  }
  return 0;
}
