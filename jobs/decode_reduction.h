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
//
// The reduced decoding averages each square of the file's pixels as they are encoded, not in light,
// so that fine detail of strong contrast comes out darker than the resampler would make it (black
// and white pixels averaged give 128 where their light gives 188): a picture of such detail is
// decoded whole instead. Its reduced pixels show whether it has it: where neighbouring reduced pixels
// still differ strongly, the file's pixels inside each of them mostly did too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

#include "read/image_loader.h"
#include "transform/chain.h"

// 1, 2, 4 or 8: the picture of width x height is decoded at 1/n of each side for `transforms`.
std::uint32_t decode_reduction(std::uint32_t width, std::uint32_t height, const Transforms& transforms);

// `transforms` for the picture decoded at 1/n: its crop in the reduced picture's pixels; n is one
// that decode_reduction chose for them.
Transforms reduced_transforms(const Transforms& transforms, std::uint32_t n);

// Whether a picture decoded reduced (BGRA quads, `stride` bytes a row, top row first) holds fine
// detail that averaging its encoded values has darkened: in each square of 2 x 2 of its pixels and
// each channel, how far the mean of their encoded values lies under the value whose light is the
// mean of theirs, in levels at the curve's slope there, is over 0.1 of a level on average. Smooth
// photographs come to under 0.01 at 1/4 of 4000 x 3000, text and sharp-edged drawings to 0.3 to 0.8,
// a picture of single-pixel cells to 1 at 1/4 and 18 at 1/2.
bool reduction_darkens_detail(std::span<const std::uint8_t> quads, std::uint32_t width, std::uint32_t height,
                              std::size_t stride);

// The picture for `transforms` (its upright among them), which `load` decodes at the reduction it is
// given: reduced as decode_reduction chooses in the stored pixels the codec decodes (never for
// nearest, which copies the file's own pixels), and decoded again whole when the reduced picture's
// detail was darkened. Its reduced() says which; reduced_transforms(transforms, reduced()) are then
// the transforms in its pixels. Deciding first from a cheaper decode would not pay: the codec reads
// every coefficient at any scale, so that 1/8 costs nearly what 1/4 does, a strip decoded alone costs
// the reading of every row above it, and the reduced picture is what a photograph needs anyway.
PictureLoad load_for_transforms(const std::function<PictureLoad(const DecodeReduction&)>& load,
                                const Transforms& transforms);
