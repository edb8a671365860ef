#include "read/bmp_pixels.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <cstddef>

#include "pixels/little_endian.h"

namespace {

// One channel of a 16- or 32-bit pixel: its mask, and a table that widens its value to 8 bits
// (after dropping the bits below the top 8 of a wider field).
class Channel {
 public:
  // An empty mask, which only an unchecked description could hold, reads as zero.
  explicit Channel(std::uint32_t mask)
      : mask_(mask),
        shift_(mask == 0 ? 0 : std::countr_zero(mask)),
        width_(std::popcount(mask)),
        drop_(std::max(width_, 8) - 8) {
    const int kept = width_ - drop_;
    if (kept == 0) return;
    for (std::uint32_t value = 0; value < (1u << kept); ++value) {
      std::uint32_t wide = 0;
      for (int at = 8 - kept; at > -kept; at -= kept) wide |= at >= 0 ? value << at : value >> -at;
      widened_[value] = static_cast<std::uint8_t>(wide);
    }
  }

  std::uint8_t operator()(std::uint32_t pixel) const { return widened_[((pixel & mask_) >> shift_) >> drop_]; }

 private:
  std::uint32_t mask_;
  int shift_;
  int width_;
  int drop_;
  std::array<std::uint8_t, 256> widened_{};
};

bool contiguous(std::uint32_t mask) {
  const std::uint32_t run = mask >> std::countr_zero(mask);
  return (run & (run + 1)) == 0;
}

// The colour table index of pixel x in a stored row of 1, 4 or 8 bits, the first pixel in the
// highest bits of the first byte.
std::uint8_t index_at(const std::uint8_t* row, std::uint32_t x, std::uint16_t bits) {
  const std::uint32_t per_byte = 8u / bits;
  const std::uint32_t shift = (per_byte - 1 - x % per_byte) * bits;
  return static_cast<std::uint8_t>((row[x / per_byte] >> shift) & ((1u << bits) - 1));
}

const char* const codes_cut_short = "the run-length codes are cut short";
const char* const codes_past_picture = "the run-length codes reach past the picture";

// Walks run-length codes, handing each pixel they set to put(x, stored row, index). Nullptr at the
// end of the picture or of the codes, or what is wrong; checks every bound before a read or a put.
template <typename Put>
const char* walk_codes(const BmpPicture& bmp, Put&& put) {
  const std::span<const std::uint8_t> codes = bmp.rows;
  const bool four_bits = bmp.compression == bmp_rle4;
  std::uint64_t x = 0;
  std::uint64_t y = 0;
  std::size_t at = 0;
  const auto index = [&](std::uint8_t byte, std::uint64_t k) -> std::uint8_t {
    if (!four_bits) return byte;
    return k % 2 == 0 ? static_cast<std::uint8_t>(byte >> 4) : static_cast<std::uint8_t>(byte & 0x0F);
  };
  while (at < codes.size()) {
    if (codes.size() - at < 2) return codes_cut_short;
    const std::uint8_t count = codes[at];
    const std::uint8_t value = codes[at + 1];
    at += 2;
    if (count > 0) {
      if (y >= bmp.height || x + count > bmp.width) return codes_past_picture;
      for (std::uint64_t k = 0; k < count; ++k) put(x + k, y, index(value, k));
      x += count;
    } else if (value == 0) {
      x = 0;
      ++y;
    } else if (value == 1) {
      return nullptr;
    } else if (value == 2) {
      if (codes.size() - at < 2) return codes_cut_short;
      x += codes[at];
      y += codes[at + 1];
      at += 2;
      if (x > bmp.width || y > bmp.height) return codes_past_picture;
    } else {
      // An absolute run of `value` pixels, its bytes padded to an even count.
      const std::size_t bytes = four_bits ? (value + 1u) / 2 : value;
      const std::size_t padded = bytes + bytes % 2;
      if (codes.size() - at < padded) return codes_cut_short;
      if (y >= bmp.height || x + value > bmp.width) return codes_past_picture;
      for (std::uint64_t k = 0; k < value; ++k) {
        put(x + k, y, index(codes[at + static_cast<std::size_t>(four_bits ? k / 2 : k)], k));
      }
      x += value;
      at += padded;
    }
  }
  return nullptr;
}

bool run_length_coded(const BmpPicture& bmp) { return bmp.compression == bmp_rle8 || bmp.compression == bmp_rle4; }

}  // namespace

const char* check_pixels(const BmpPicture& bmp) {
  if (bmp.bits_per_pixel > 8) {
    if (bmp.bits_per_pixel == 24) return nullptr;
    const std::uint32_t inside = bmp.bits_per_pixel == 16 ? 0xFFFFu : 0xFFFFFFFFu;
    std::uint32_t seen = 0;
    for (const std::uint32_t mask : bmp.masks) {
      if (mask == 0 || (mask & ~inside) != 0 || (mask & seen) != 0 || !contiguous(mask))
        return "the bit fields' masks are empty, overlap, have gaps or leave the pixel";
      seen |= mask;
    }
    return nullptr;
  }
  const char* const past_table = "a pixel names a colour past the colour table";
  if (run_length_coded(bmp)) {
    bool inside = true;
    const char* problem = walk_codes(
        bmp, [&](std::uint64_t, std::uint64_t, std::uint8_t index) { inside = inside && index < bmp.colour_count; });
    if (problem == nullptr && !inside) problem = past_table;
    return problem;
  }
  if (bmp.colour_count >= (1u << bmp.bits_per_pixel)) return nullptr;
  for (std::uint32_t y = 0; y < bmp.height; ++y) {
    const std::uint8_t* row = bmp.rows.data() + std::size_t{y} * bmp.row_length;
    for (std::uint32_t x = 0; x < bmp.width; ++x) {
      if (index_at(row, x, bmp.bits_per_pixel) >= bmp.colour_count) return past_table;
    }
  }
  return nullptr;
}

void decode_pixels(const BmpPicture& bmp, std::span<std::uint8_t> out) {
  assert(out.size() >= decoded_size(bmp.width, bmp.height) && bmp.bits_per_pixel != 24);
  const std::size_t out_row = std::size_t{bmp.width} * 3;
  const auto store = [&](std::uint64_t x, std::uint64_t y, BgrTriple pixel) {
    std::uint8_t* to = out.data() + static_cast<std::size_t>(y) * out_row + static_cast<std::size_t>(x) * 3;
    to[0] = pixel.blue;
    to[1] = pixel.green;
    to[2] = pixel.red;
  };
  // A table entry past colour_count is black in `colours`, so a section's index that the file's
  // check did not see still lands inside the table.
  if (run_length_coded(bmp)) {
    for (std::uint32_t y = 0; y < bmp.height; ++y) {
      for (std::uint32_t x = 0; x < bmp.width; ++x) store(x, y, bmp.colours[0]);
    }
    [[maybe_unused]] const char* problem =
        walk_codes(bmp, [&](std::uint64_t x, std::uint64_t y, std::uint8_t index) { store(x, y, bmp.colours[index]); });
    assert(problem == nullptr);
    return;
  }
  const std::uint16_t bits = bmp.bits_per_pixel;
  if (bits <= 8) {
    for (std::uint32_t y = 0; y < bmp.height; ++y) {
      const std::uint8_t* row = bmp.rows.data() + std::size_t{y} * bmp.row_length;
      for (std::uint32_t x = 0; x < bmp.width; ++x) store(x, y, bmp.colours[index_at(row, x, bits)]);
    }
    return;
  }
  const Channel red(bmp.masks[0]);
  const Channel green(bmp.masks[1]);
  const Channel blue(bmp.masks[2]);
  const std::size_t bytes = bits / 8u;
  for (std::uint32_t y = 0; y < bmp.height; ++y) {
    const std::uint8_t* row = bmp.rows.data() + std::size_t{y} * bmp.row_length;
    for (std::uint32_t x = 0; x < bmp.width; ++x) {
      const std::uint8_t* at = row + x * bytes;
      const std::uint32_t pixel = bits == 16 ? load_le16(at) : load_le32(at);
      store(x, y, BgrTriple{blue(pixel), green(pixel), red(pixel)});
    }
  }
}

bool decode_alpha(const BmpPicture& bmp, std::span<std::uint8_t> out) {
  const std::uint32_t mask = bmp.alpha_mask;
  if (bmp.bits_per_pixel != 32 || mask == 0 || !contiguous(mask) ||
      (mask & (bmp.masks[0] | bmp.masks[1] | bmp.masks[2])) != 0)
    return false;
  assert(out.size() == std::size_t{bmp.width} * bmp.height);
  const Channel alpha(mask);
  bool any = false;
  for (std::uint32_t y = 0; y < bmp.height; ++y) {
    const std::uint8_t* row = bmp.rows.data() + std::size_t{y} * bmp.row_length;
    std::uint8_t* to = out.data() + std::size_t{y} * bmp.width;
    for (std::uint32_t x = 0; x < bmp.width; ++x) {
      to[x] = alpha(load_le32(row + 4 * x));
      any = any || to[x] != 0;
    }
  }
  return any;
}
