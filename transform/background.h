// Lay over the background: a picture that may be transparent made opaque, each pixel laid over one
// colour in proportion to its alpha, as browsers blend a picture with what lies under it (in the
// encoded values). A transparent pixel becomes the background, an opaque one stays as it is.
#pragma once

#include <cstdint>
#include <span>

#include "pixels/pixels.h"

// Writes one triple (blue, green, red) to `triples` for each pixel.
void lay_over(std::span<const BgraQuad> pixels, BgrTriple background, std::uint8_t* triples);
