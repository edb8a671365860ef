#include "containers/picture_sink.h"

#include <utility>

#include "containers/png_output.h"

namespace {

class BmpSink : public PictureSink {
 public:
  explicit BmpSink(const BmpOutput& layout) : layout_(layout) {}

  bool bottom_up() const override { return true; }
  bool quads() const override { return false; }
  std::size_t stride() const override { return layout_.row_length; }
  std::optional<std::uint64_t> size() const override {
    return std::uint64_t{layout_.header.size()} + layout_.pixel_bytes;
  }

  std::optional<std::span<const std::uint8_t>> begin() override { return std::span(layout_.header); }
  std::optional<std::span<const std::uint8_t>> append(const std::uint8_t* rows, std::uint32_t count) override {
    return std::span(rows, std::size_t{count} * layout_.row_length);
  }
  std::optional<std::span<const std::uint8_t>> finish() override { return std::span<const std::uint8_t>(); }

 private:
  BmpOutput layout_;
};

class PngSink : public PictureSink {
 public:
  PngSink(PngOutput png, std::uint32_t width, bool alpha) : png_(std::move(png)), width_(width), alpha_(alpha) {}

  bool bottom_up() const override { return false; }
  bool quads() const override { return alpha_; }
  std::size_t stride() const override { return std::size_t{width_} * (alpha_ ? 4 : 3); }
  std::optional<std::uint64_t> size() const override { return std::nullopt; }

  std::optional<std::span<const std::uint8_t>> begin() override { return png_.pending(); }
  // The bytes of the last call are written by now: each call hands back only its own.
  std::optional<std::span<const std::uint8_t>> append(const std::uint8_t* rows, std::uint32_t count) override {
    png_.clear_pending();
    for (std::uint32_t y = 0; y < count; ++y) {
      if (!png_.add_row(rows + y * stride())) return std::nullopt;
    }
    return png_.pending();
  }
  std::optional<std::span<const std::uint8_t>> finish() override {
    png_.clear_pending();
    if (!png_.finish()) return std::nullopt;
    return png_.pending();
  }

 private:
  PngOutput png_;
  std::uint32_t width_;
  bool alpha_;
};

}  // namespace

std::unique_ptr<PictureSink> make_bmp_sink(const BmpOutput& layout) { return std::make_unique<BmpSink>(layout); }

std::unique_ptr<PictureSink> make_png_sink(std::uint32_t width, std::uint32_t height, bool alpha) {
  std::optional<PngOutput> png = PngOutput::begin(width, height, alpha ? PngColour::rgba : PngColour::rgb);
  if (!png) return nullptr;
  return std::make_unique<PngSink>(std::move(*png), width, alpha);
}
