#include "transform/chain.h"

#include <algorithm>
#include <cassert>
#include <span>

#include "transform/background.h"
#include "transform/buffers.h"
#include "transform/nearest.h"

std::string crop_text(const Rect& rect) {
  return std::to_string(rect.width) + "x" + std::to_string(rect.height) + "+" + std::to_string(rect.x) + "+" +
         std::to_string(rect.y);
}

std::optional<Transforms> in_stored_pixels(const Transforms& transforms, std::uint32_t width, std::uint32_t height) {
  const bool turned = sideways(transforms.upright.rotation);
  Transforms stored = transforms;
  if (transforms.crop) {
    if (!crop_fits(*transforms.crop, turned ? height : width, turned ? width : height)) return std::nullopt;
    stored.crop = source_rect(*transforms.crop, width, height, transforms.upright);
  }
  const Orientation turn = followed_by(transforms.upright, {transforms.rotation, transforms.flip});
  stored.upright = {};
  stored.rotation = turn.rotation;
  stored.flip = turn.flip;
  return stored;
}

ChainMade TransformChain::make(RegionSource& source, const Transforms& upright_transforms, BgrTriple background,
                               std::uint32_t band_rows, std::uint64_t turned_limit) {
  std::unique_ptr<TransformChain> chain(new TransformChain);
  chain->background_ = background;
  RegionSource* top = &source;
  // The crop is cut from the stored pixels and the upright turn made with the user's own, so that
  // laying a picture upright costs no stage, nor any more memory, of its own.
  const std::optional<Transforms> stored = in_stored_pixels(upright_transforms, source.width(), source.height());
  if (!stored) {
    const bool turned = sideways(upright_transforms.upright.rotation);
    return Failure{Fault::unsupported, "the crop " + crop_text(*upright_transforms.crop) +
                                           " reaches past the picture's " +
                                           std::to_string(turned ? source.height() : source.width()) + " x " +
                                           std::to_string(turned ? source.width() : source.height()) + " pixels"};
  }
  const Transforms& transforms = *stored;
  if (transforms.crop) top = chain->stages_.emplace_back(std::make_unique<Crop>(*top, *transforms.crop)).get();
  const bool quarter_turn = sideways(transforms.rotation);
  if (quarter_turn && !top->held() && std::uint64_t{top->width()} * top->height() > turned_limit)
    return Failure{Fault::unsupported, "a quarter turn holds the picture it turns in memory, and this one has " +
                                           std::to_string(top->width()) + " x " + std::to_string(top->height()) +
                                           " pixels, more than the " + std::to_string(turned_limit) +
                                           " allowed (--max-pixels raises the limit; --crop first turns less)"};
  const std::uint32_t turned_width = quarter_turn ? top->height() : top->width();
  const std::uint32_t turned_height = quarter_turn ? top->width() : top->height();
  if (transforms.resize) {
    // A side worked out from the proportions of a long, thin picture can pass the largest side a
    // resize takes, or any count: refused, naming the limit, before any of it is planned.
    const ResizeSize size = resize_size(turned_width, turned_height, *transforms.resize);
    if (size.width > largest_resize || size.height > largest_resize)
      return Failure{Fault::unsupported, "--resize gives this " + std::to_string(turned_width) + " x " +
                                             std::to_string(turned_height) + " picture " + std::to_string(size.width) +
                                             " x " + std::to_string(size.height) + " pixels; a side is at most " +
                                             std::to_string(largest_resize)};
  }
  const FitPlan plan =
      transforms.resize
          ? plan_fit(turned_width, turned_height, *transforms.resize, transforms.fit)
          : FitPlan{
                {0, 0, turned_width, turned_height}, {0, 0, turned_width, turned_height}, turned_width, turned_height};
  if (std::uint64_t{plan.canvas_width} * plan.canvas_height * 2 > UINT32_MAX)
    return Failure{Fault::unsupported, "the result, " + std::to_string(plan.canvas_width) + " x " +
                                           std::to_string(plan.canvas_height) +
                                           " pixels, is too large for a raw image"};
  if (band_rows == 0)
    band_rows = static_cast<std::uint32_t>(std::clamp<std::uint64_t>(
        (std::uint64_t{1} << 20) / (std::uint64_t{plan.canvas_width} * 3), 1, plan.canvas_height));
  band_rows = std::min(band_rows, plan.canvas_height);
  const bool resized = plan.kept.width != plan.placed.width || plan.kept.height != plan.placed.height;
  if (transforms.rotation != Rotation::none || transforms.flip != Flip::none) {
    // What the stage above asks of it at once: the resampler's source band, or a band of the result.
    const std::uint64_t most = !resized                                     ? product(plan.placed.width, band_rows)
                               : transforms.filter == ResizeFilter::nearest ? Nearest::most_read(plan.kept.width)
                                                                            : Resize::most_read(plan.kept.width);
    top = chain->stages_.emplace_back(std::make_unique<Orient>(*top, transforms.rotation, transforms.flip, most)).get();
  }
  if (plan.kept != Rect{0, 0, turned_width, turned_height})
    top = chain->stages_.emplace_back(std::make_unique<Crop>(*top, plan.kept)).get();
  if (resized && transforms.filter == ResizeFilter::nearest) {
    top = chain->stages_.emplace_back(std::make_unique<Nearest>(*top, plan.placed.width, plan.placed.height)).get();
  } else if (resized) {
    top = chain->stages_.emplace_back(std::make_unique<Resize>(*top, plan.placed.width, plan.placed.height)).get();
  }
  chain->top_ = top;
  chain->placed_ = plan.placed;
  chain->canvas_width_ = plan.canvas_width;
  chain->canvas_height_ = plan.canvas_height;
  chain->band_rows_ = band_rows;
  allocate(chain->quads_, product(plan.placed.width, band_rows));
  return chain;
}

void TransformChain::next_rows(std::uint32_t count, std::uint8_t* triples) {
  assert(next_row_ + std::uint64_t{count} <= canvas_height_ && count <= band_rows_);
  const std::size_t row_bytes = std::size_t{canvas_width_} * 3;
  const auto fill_background = [&](std::uint8_t* at, std::uint32_t pixels) {
    for (std::uint32_t x = 0; x < pixels; ++x, at += 3) {
      at[0] = background_.blue;
      at[1] = background_.green;
      at[2] = background_.red;
    }
  };
  // The rows of the band that the picture covers, read at once; the rest is background.
  const std::uint32_t end = next_row_ + count;
  const std::uint32_t covered_first = std::clamp(placed_.y, next_row_, end);
  const std::uint32_t covered_end = std::clamp(placed_.y + placed_.height, next_row_, end);
  if (covered_end > covered_first)
    top_->read({0, covered_first - placed_.y, placed_.width, covered_end - covered_first}, quads_.data());
  for (std::uint32_t y = next_row_; y < end; ++y) {
    std::uint8_t* row = triples + std::size_t{y - next_row_} * row_bytes;
    if (y < covered_first || y >= covered_end) {
      fill_background(row, canvas_width_);
      continue;
    }
    fill_background(row, placed_.x);
    lay_over(std::span(quads_).subspan(std::size_t{y - covered_first} * placed_.width, placed_.width), background_,
             row + std::size_t{placed_.x} * 3);
    fill_background(row + std::size_t{placed_.x + placed_.width} * 3, canvas_width_ - placed_.x - placed_.width);
  }
  next_row_ = end;
}

void TransformChain::next_quads(std::uint32_t count, BgraQuad* quads) {
  assert(next_row_ + std::uint64_t{count} <= canvas_height_ && count <= band_rows_);
  const BgraQuad background{background_.blue, background_.green, background_.red, 255};
  const std::uint32_t end = next_row_ + count;
  const std::uint32_t covered_first = std::clamp(placed_.y, next_row_, end);
  const std::uint32_t covered_end = std::clamp(placed_.y + placed_.height, next_row_, end);
  if (covered_end > covered_first)
    top_->read({0, covered_first - placed_.y, placed_.width, covered_end - covered_first}, quads_.data());
  for (std::uint32_t y = next_row_; y < end; ++y) {
    BgraQuad* row = quads + std::size_t{y - next_row_} * canvas_width_;
    std::fill(row, row + canvas_width_, background);
    if (y < covered_first || y >= covered_end) continue;
    const BgraQuad* from = quads_.data() + std::size_t{y - covered_first} * placed_.width;
    std::copy(from, from + placed_.width, row + placed_.x);
  }
  next_row_ = end;
}
