// How far a JPEG is reduced as it is decoded when the transforms shrink it: the codecs' reduced
// decoding makes 1/2, 1/4 or 1/8 of each side for little more than the cost of reading the file,
// where a whole decode makes every pixel for the resampler to average away again.
//
// The picture is reduced only as far as leaves at least twice the result's pixels in each direction
// of what the resize keeps, so that the resampler still filters it (a shrink of less than 4 x is
// decoded whole); only by a factor that divides both of its sides and every side and corner of a
// --crop, so that the reduced picture, and the crop made in its pixels, keep the proportions and
// the grid of the file's pixels exactly, and the fit works out the same plan from it; and never when
// a crop reaches past the picture, which the chain then refuses in the file's own pixels.
#pragma once

#include <cstdint>

#include "transform/chain.h"

// 1, 2, 4 or 8: the picture of width x height is decoded at 1/n of each side for `transforms`.
std::uint32_t decode_reduction(std::uint32_t width, std::uint32_t height, const Transforms& transforms);

// `transforms` for the picture decoded at 1/n: its crop in the reduced picture's pixels; n is one
// that decode_reduction chose for them.
Transforms reduced_transforms(const Transforms& transforms, std::uint32_t n);
