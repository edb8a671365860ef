#include "transform/background.h"

namespace {

std::uint8_t blend(unsigned colour, unsigned under, unsigned alpha) {
  return static_cast<std::uint8_t>((colour * alpha + under * (255 - alpha) + 127) / 255);
}

}  // namespace

void lay_over(std::span<const BgraQuad> pixels, BgrTriple background, std::uint8_t* triples) {
  for (const BgraQuad& pixel : pixels) {
    *triples++ = blend(pixel.blue, background.blue, pixel.alpha);
    *triples++ = blend(pixel.green, background.green, pixel.alpha);
    *triples++ = blend(pixel.red, background.red, pixel.alpha);
  }
}
