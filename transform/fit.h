// How a picture is fitted to the size --resize asks for: which part of it is kept, the size it is
// resized to, and where that lies on the result (the canvas), whose other pixels are background.
//
// contain keeps the whole picture, as large as fits, centred on the canvas; cover fills the canvas,
// keeping the middle of the picture and cutting what overhangs on two sides equally; stretch
// resizes the whole picture to the canvas, whatever its proportions. A size with one side left out
// (Wx or xH) takes the other from the picture's proportions, so all three then agree. Lengths
// worked from proportions are rounded to the nearest pixel, and are at least 1; where the leftover
// of centring is odd, the extra pixel lies right of or below the picture.
#pragma once

#include <cstdint>

#include "transform/region.h"

enum class Fit { contain, cover, stretch };

// --resize: a side of 0 is worked out from the other.
struct ResizeTo {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
};

struct FitPlan {
  Rect kept;    // the part of the picture that is resized
  Rect placed;  // where the resized part lies on the canvas, and its size
  std::uint32_t canvas_width = 0;
  std::uint32_t canvas_height = 0;

  friend bool operator==(const FitPlan&, const FitPlan&) = default;
};

// The size `to` asks of a width x height picture, a side left out worked out from its proportions:
// in 64 bits, since that side may be longer than any resize takes; `to` has at least one side.
struct ResizeSize {
  std::uint64_t width = 0;
  std::uint64_t height = 0;
};
ResizeSize resize_size(std::uint32_t width, std::uint32_t height, ResizeTo to);

// For a width x height picture; `to` has at least one side, and both sides of resize_size() fit 32
// bits.
FitPlan plan_fit(std::uint32_t width, std::uint32_t height, ResizeTo to, Fit fit);
