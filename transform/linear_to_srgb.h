// Linear light (see pixels/srgb_to_linear.h for the decoding) and its encoding back: the 8-bit value
// whose sRGB value is nearest to a linear value's, from a table of integers, so that no build's
// floating-point library can change a value.
#pragma once

#include <cstdint>

#include "pixels/srgb_to_linear.h"

std::uint8_t encoded_of(std::uint16_t linear);
