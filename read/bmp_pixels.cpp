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
  explicit Channel(std::uint32_t mask) : mask_(mask) {
    const int width = std::popcount(mask);
    const int drop = std::max(width, 8) - 8;
    shift_ = (mask == 0 ? 0 : std::countr_zero(mask)) + drop;
    const int kept = width - drop;
    if (kept == 0) return;
    for (std::uint32_t value = 0; value < (1u << kept); ++value) {
      std::uint32_t wide = 0;
      for (int at = 8 - kept; at > -kept; at -= kept) wide |= at >= 0 ? value << at : value >> -at;
      widened_[value] = static_cast<std::uint8_t>(wide);
    }
  }

  std::uint8_t operator()(std::uint32_t pixel) const { return widened_[(pixel & mask_) >> shift_]; }
  std::uint32_t mask() const { return mask_; }
  int shift() const { return shift_; }
  const std::array<std::uint8_t, 256>& widened() const { return widened_; }

 private:
  std::uint32_t mask_;
  int shift_ = 0;
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

void store(std::uint8_t* to, BgrTriple pixel) {
  to[0] = pixel.blue;
  to[1] = pixel.green;
  to[2] = pixel.red;
}

const char* const codes_cut_short = "the run-length codes are cut short";
const char* const codes_past_picture = "the run-length codes reach past the picture";
const char* const past_table = "a pixel names a colour past the colour table";

bool run_length_coded(const BmpPicture& bmp) { return bmp.compression == bmp_rle8 || bmp.compression == bmp_rle4; }

}  // namespace

BmpRowDecoder::BmpRowDecoder(const BmpPicture& bmp)
    : width_(bmp.width),
      row_length_(bmp.row_length),
      bits_(bmp.bits_per_pixel),
      colour_count_(bmp.colour_count),
      colours_(bmp.colours) {
  if (bits_ <= 8) return;
  for (std::size_t k = 0; k < 3; ++k) {
    const Channel channel(bmp.masks[k]);
    masks_[k] = channel.mask();
    shifts_[k] = channel.shift();
    widened_[k] = channel.widened();
  }
}

void BmpRowDecoder::decode(const std::uint8_t* rows, std::uint32_t count, std::uint8_t* out) const {
  const std::size_t out_row = std::size_t{width_} * 3;
  for (std::uint32_t y = 0; y < count; ++y) {
    const std::uint8_t* row = rows + std::size_t{y} * row_length_;
    std::uint8_t* to = out + y * out_row;
    // A table entry past colour_count is black in `colours_`, so a section's index that the file's
    // check did not see still lands inside the table.
    if (bits_ <= 8) {
      for (std::uint32_t x = 0; x < width_; ++x) store(to + std::size_t{x} * 3, colours_[index_at(row, x, bits_)]);
      continue;
    }
    const std::size_t bytes = bits_ / 8u;
    for (std::uint32_t x = 0; x < width_; ++x) {
      const std::uint8_t* at = row + x * bytes;
      const std::uint32_t pixel = bits_ == 16 ? load_le16(at) : load_le32(at);
      to[std::size_t{x} * 3] = widened_[2][(pixel & masks_[2]) >> shifts_[2]];
      to[std::size_t{x} * 3 + 1] = widened_[1][(pixel & masks_[1]) >> shifts_[1]];
      to[std::size_t{x} * 3 + 2] = widened_[0][(pixel & masks_[0]) >> shifts_[0]];
    }
  }
}

const char* BmpRowDecoder::check(const std::uint8_t* rows, std::uint32_t count) const {
  if (bits_ > 8 || colour_count_ >= (1u << bits_)) return nullptr;
  for (std::uint32_t y = 0; y < count; ++y) {
    const std::uint8_t* row = rows + std::size_t{y} * row_length_;
    for (std::uint32_t x = 0; x < width_; ++x) {
      if (index_at(row, x, bits_) >= colour_count_) return past_table;
    }
  }
  return nullptr;
}

RunLengthWalk::RunLengthWalk(const BmpPicture& bmp, std::uint64_t codes_length)
    : width_(bmp.width),
      height_(bmp.height),
      four_bits_(bmp.compression == bmp_rle4),
      colour_count_(bmp.colour_count),
      colours_(bmp.colours),
      codes_length_(codes_length) {}

void RunLengthWalk::clear_band(std::uint8_t* band, std::uint32_t rows) const {
  const std::size_t pixels = std::size_t{width_} * rows;
  for (std::size_t k = 0; k < pixels; ++k) store(band + k * 3, colours_[0]);
}

const char* RunLengthWalk::table_problem() const { return inside_ ? nullptr : past_table; }

const char* RunLengthWalk::walk(std::span<const std::uint8_t> window, std::uint64_t window_at, std::uint64_t until,
                                std::uint64_t first, std::uint8_t* band) {
  State& s = state_;
  needs_codes_ = false;
  assert(window_at <= s.at && s.at - window_at <= window.size());
  // A band is walked from the state at its first row: every pixel stored lies inside it.
  assert(band == nullptr || s.y >= first);
  const std::uint64_t window_end = window_at + window.size();
  // Whether the `n` bytes from `at` on are in the window; when not, whether more codes follow
  // (the walk then waits for a window that holds them) or the codes are cut short.
  const auto holds = [&](std::uint64_t at, std::uint64_t n) {
    if (at + n <= window_end) return true;
    needs_codes_ = window_end < codes_length_;
    return false;
  };
  const auto byte = [&](std::uint64_t at) { return window[static_cast<std::size_t>(at - window_at)]; };
  const auto index = [&](std::uint8_t value, std::uint64_t k) -> std::uint8_t {
    if (!four_bits_) return value;
    return k % 2 == 0 ? static_cast<std::uint8_t>(value >> 4) : static_cast<std::uint8_t>(value & 0x0F);
  };
  const auto put = [&](std::uint64_t x, std::uint8_t colour) {
    if (band == nullptr) {
      inside_ = inside_ && colour < colour_count_;
      return;
    }
    store(band + static_cast<std::size_t>(((s.y - first) * width_ + x) * 3), colours_[colour]);
  };
  while (!s.ended && s.y < until) {
    if (s.at >= codes_length_) {
      s.ended = true;
      break;
    }
    if (!holds(s.at, 2)) return needs_codes_ ? nullptr : codes_cut_short;
    const std::uint8_t count = byte(s.at);
    const std::uint8_t value = byte(s.at + 1);
    if (count > 0) {
      if (s.y >= height_ || s.x + count > width_) return codes_past_picture;
      for (std::uint64_t k = 0; k < count; ++k) put(s.x + k, index(value, k));
      s.x += count;
      s.at += 2;
    } else if (value == 0) {
      s.x = 0;
      ++s.y;
      s.at += 2;
    } else if (value == 1) {
      s.ended = true;
      s.at += 2;
    } else if (value == 2) {
      if (!holds(s.at, 4)) return needs_codes_ ? nullptr : codes_cut_short;
      s.x += byte(s.at + 2);
      s.y += byte(s.at + 3);
      s.at += 4;
      if (s.x > width_ || s.y > height_) return codes_past_picture;
    } else {
      // An absolute run of `value` pixels, its bytes padded to an even count.
      const std::uint64_t bytes = four_bits_ ? (value + 1u) / 2 : value;
      const std::uint64_t padded = bytes + bytes % 2;
      if (!holds(s.at, 2 + padded)) return needs_codes_ ? nullptr : codes_cut_short;
      if (s.y >= height_ || s.x + value > width_) return codes_past_picture;
      for (std::uint64_t k = 0; k < value; ++k) put(s.x + k, index(byte(s.at + 2 + (four_bits_ ? k / 2 : k)), k));
      s.x += value;
      s.at += 2 + padded;
    }
  }
  return nullptr;
}

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
  if (run_length_coded(bmp)) {
    RunLengthWalk walk(bmp, bmp.rows.size());
    const char* problem = walk.walk(bmp.rows, 0, UINT64_MAX, 0, nullptr);
    return problem != nullptr ? problem : walk.table_problem();
  }
  return BmpRowDecoder(bmp).check(bmp.rows.data(), bmp.height);
}

void decode_pixels(const BmpPicture& bmp, std::span<std::uint8_t> out) {
  assert(out.size() >= decoded_size(bmp.width, bmp.height) && bmp.bits_per_pixel != 24);
  if (!run_length_coded(bmp)) return BmpRowDecoder(bmp).decode(bmp.rows.data(), bmp.height, out.data());
  RunLengthWalk walk(bmp, bmp.rows.size());
  walk.clear_band(out.data(), bmp.height);
  [[maybe_unused]] const char* problem = walk.walk(bmp.rows, 0, UINT64_MAX, 0, out.data());
  assert(problem == nullptr);
}

bool decode_alpha_rows(const BmpPicture& bmp, const std::uint8_t* rows, std::uint32_t count, std::uint8_t* out) {
  const std::uint32_t mask = bmp.alpha_mask;
  if (bmp.bits_per_pixel != 32 || mask == 0 || !contiguous(mask) ||
      (mask & (bmp.masks[0] | bmp.masks[1] | bmp.masks[2])) != 0)
    return false;
  const Channel alpha(mask);
  bool any = false;
  for (std::uint32_t y = 0; y < count; ++y) {
    const std::uint8_t* row = rows + std::size_t{y} * bmp.row_length;
    std::uint8_t* to = out + std::size_t{y} * bmp.width;
    for (std::uint32_t x = 0; x < bmp.width; ++x) {
      to[x] = alpha(load_le32(row + 4 * x));
      any = any || to[x] != 0;
    }
  }
  return any;
}

bool decode_alpha(const BmpPicture& bmp, std::span<std::uint8_t> out) {
  assert(out.size() == std::size_t{bmp.width} * bmp.height);
  return decode_alpha_rows(bmp, bmp.rows.data(), bmp.height, out.data());
}
