#include "read/bmp_stream_bands.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <new>
#include <string>

bool BmpStreamBands::streams(const BmpPixelsAt& at, bool keep_alpha) {
  const BmpPicture& bmp = at.bmp;
  if (bmp.compression != bmp_uncompressed && bmp.compression != bmp_bit_fields) return false;
  if (bmp.bits_per_pixel <= 8 && bmp.colour_count < (1u << bmp.bits_per_pixel)) return false;
  return !(keep_alpha && bmp.alpha_mask != 0);
}

BmpStreamBands::BmpStreamBands(InputStream& stream, const BmpPixelsAt& at) : stream_(&stream), at_(at) {
  assert(streams(at, false));
}

std::uint32_t BmpStreamBands::stride() const {
  return at_.bmp.bits_per_pixel == 24 ? at_.bmp.row_length : at_.bmp.width * 3;
}

std::optional<Failure> BmpStreamBands::read_exactly(std::span<std::uint8_t> bytes) {
  while (!bytes.empty()) {
    std::variant<std::size_t, Failure> got = stream_->read(bytes);
    if (Failure* failed = std::get_if<Failure>(&got)) return std::move(*failed);
    const std::size_t count = std::get<std::size_t>(got);
    if (count == 0) {
      const std::string where = consumed_ <= at_.pixel_offset
                                    ? "before its pixels"
                                    : "after " + std::to_string((consumed_ - at_.pixel_offset) / at_.bmp.row_length) +
                                          " of its " + std::to_string(at_.bmp.height) + " stored rows";
      return Failure{Fault::cannot_open,
                     "the picture is cut short: " + std::string(stream_->name()) + " ended " + where, std::nullopt};
    }
    bytes = bytes.subspan(count);
    consumed_ += count;
  }
  return std::nullopt;
}

std::optional<Failure> BmpStreamBands::ready(std::uint32_t band_rows) {
  BmpPicture& bmp = at_.bmp;
  if (bmp.bits_per_pixel > 8) {
    if (const char* problem = check_pixels(bmp)) return Failure{Fault::cannot_open, problem, std::nullopt};
  }
  const std::uint32_t band = std::clamp<std::uint32_t>(band_rows, 1, bmp.height);
  if (std::optional<Failure> failed = within_memory("the picture's band does not fit in memory", [&] {
        stored_.resize(std::size_t{bmp.row_length} * band);
        if (bmp.bits_per_pixel != 24) {
          decoder_.emplace(bmp);
          triples_.resize(std::size_t{bmp.width} * 3 * band);
        }
      }))
    return std::move(*failed);
  // The headers and whatever lies between them and the pixels are passed over.
  std::array<std::uint8_t, 4096> skipped;
  for (std::uint64_t left = at_.pixel_offset; left != 0;) {
    const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(left, skipped.size()));
    if (std::optional<Failure> failed = read_exactly({skipped.data(), count})) return failed;
    left -= count;
  }
  bmp.verdict = BmpVerdict::picture;
  return std::nullopt;
}

std::variant<std::span<const std::uint8_t>, Failure> BmpStreamBands::rows(std::uint32_t first, std::uint32_t count) {
  const BmpPicture& bmp = at_.bmp;
  assert(first == next_ && count <= bmp.height - first);
  assert(std::size_t{bmp.row_length} * count <= stored_.size());
  const std::span<std::uint8_t> stored(stored_.data(), std::size_t{bmp.row_length} * count);
  if (std::optional<Failure> failed = read_exactly(stored)) return std::move(*failed);
  next_ = first + count;
  if (!decoder_) return std::span<const std::uint8_t>(stored);
  decoder_->decode(stored.data(), count, triples_.data());
  return std::span<const std::uint8_t>(triples_.data(), std::size_t{bmp.width} * 3 * count);
}
