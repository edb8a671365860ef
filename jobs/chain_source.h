// The transform chain as pack's source: a picture cropped, turned, flipped or resized, whose rows are
// a new picture's, stored top row first as BGRA quads; and the pictures the chain reads from: one
// loaded whole, or an animation's canvas. (A BMP read in bands is jobs/bmp_sources.h's.)
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <variant>

#include "files/failure.h"
#include "jobs/pack_sources.h"
#include "read/image_loader.h"
#include "transform/picture_source.h"

// The picture under the transform chain. Reading it may find its file cut short or unreadable:
// read() then keeps the failure, for the walk to report once the chain has given its band.
class ChainPicture : public RegionSource {
 public:
  const std::optional<Failure>& failure() const { return failure_; }

 protected:
  std::optional<Failure> failure_;
};

// A picture loaded whole (a codec's or a reader's, or a BMP's by the loader), whose rows may lie in
// a view of its file.
std::unique_ptr<ChainPicture> loaded_region(LoadedPicture picture, const PackOptions& options);

// An animation's canvas of width x height quads, top row first; `quads` must outlive the region.
std::unique_ptr<ChainPicture> canvas_region(std::span<const std::uint8_t> quads, std::uint32_t width,
                                            std::uint32_t height);

// The chain of `transforms`, or of the options' own, over `picture`; or the refusal of a chain that
// does not fit in memory or whose crop lies outside the picture.
std::variant<std::unique_ptr<PackSource>, Outcome> make_chain_source(
    std::unique_ptr<ChainPicture> picture, const PackOptions& options,
    std::optional<Transforms> transforms = std::nullopt);

// Why a buffer of `bytes` could not be had.
std::string buffer_reason(std::uint64_t bytes);
