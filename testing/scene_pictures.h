// Pictures made up by the tests that look like what users convert, so that a guess about a picture's
// layout can be tried on them: a photograph (soft shapes, gradients of light, fine texture and a
// little sensor noise) and a drawing (flat colours with smooth edges over a gradient, thin lines).
// The same seed gives the same picture on every build; all arithmetic is integer.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "pixels/pixels.h"

enum class Scene { photograph, drawing };

// width * height pixels, top row first.
std::vector<BgrTriple> make_scene(Scene scene, std::uint32_t width, std::uint32_t height, std::uint32_t seed);

// The pixels laid out as a raw dump in `format` ("rgb565", "rgb444", "rgb666", "rgb888",
// "xrgb8888", "argb8888" or "gray8"), little-endian words or (with `high_first`) big-endian ones,
// rows top first with no padding. Written here byte by byte, not with the formats' own code, so that a test of that
// code or of a guess about it has an independent reference.
std::vector<std::uint8_t> raw_dump(const std::vector<BgrTriple>& pixels, std::string_view format, bool high_first);
