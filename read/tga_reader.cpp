#include "read/tga_reader.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "pixels/little_endian.h"

namespace {

constexpr std::uint64_t header_size = 18;
// A TGA 2.0 file ends with the offsets of its extension and developer areas and "TRUEVISION-XFILE.\0".
constexpr std::uint64_t footer_size = 26;

std::uint8_t widen5(unsigned v) { return static_cast<std::uint8_t>((v * 255 + 15) / 31); }

// A colour of `bits` (15, 16, 24 or 32) at `from` as a quad; the alpha kept only when `alpha`.
void colour_quad(const std::uint8_t* from, std::uint8_t bits, bool alpha, std::uint8_t* quad) {
  if (bits == 15 || bits == 16) {
    const unsigned v = load_le16(from);
    quad[0] = widen5(v & 31);
    quad[1] = widen5((v >> 5) & 31);
    quad[2] = widen5((v >> 10) & 31);
    quad[3] = alpha && bits == 16 && (v & 0x8000) == 0 ? 0 : 255;
    return;
  }
  quad[0] = from[0];
  quad[1] = from[1];
  quad[2] = from[2];
  quad[3] = alpha && bits == 32 ? from[3] : 255;
}

bool colour_bits(unsigned bits) { return bits == 15 || bits == 16 || bits == 24 || bits == 32; }

// Whether an 18-byte header is plausible: a known type, a colour map exactly where one is needed (a
// true-colour file may carry one it does not use), a depth that the type has, the reserved
// interleaving bits clear, and pixels. Text never passes: its second byte is no 0 or 1.
bool plausible(const std::uint8_t* h) {
  const unsigned map_type = h[1], type = h[2], map_bits = h[7], depth = h[16], descriptor = h[17];
  const unsigned kind = type & 7;
  if ((type != kind && type != kind + 8) || kind < 1 || kind > 3 || map_type > 1) return false;
  if (kind == 1 && (map_type != 1 || depth != 8)) return false;
  if (map_type == 1 && (!colour_bits(map_bits) || load_le16(h + 5) == 0)) return false;
  if (kind == 2 && !colour_bits(depth)) return false;
  if (kind == 3 && depth != 8) return false;
  return (descriptor & 0xC0) == 0 && load_le16(h + 12) != 0 && load_le16(h + 14) != 0;
}

// The identification field's and the colour map's bytes after the header.
std::uint64_t before_pixels(const std::uint8_t* h) {
  return header_size + h[0] + (h[1] == 1 ? std::uint64_t{load_le16(h + 5)} * ((h[7] + 7u) / 8) : 0);
}

}  // namespace

bool looks_like_tga(std::span<const std::uint8_t> start, std::optional<std::uint64_t> file_size) {
  if (start.size() < header_size || !plausible(start.data())) return false;
  if (!file_size) return true;
  const std::uint8_t* h = start.data();
  if (h[2] >= 8) return false;
  const std::uint64_t size =
      before_pixels(h) + std::uint64_t{load_le16(h + 12)} * load_le16(h + 14) * ((h[16] + 7u) / 8);
  return *file_size == size || *file_size == size + footer_size;
}

std::variant<std::monostate, TgaReader, Failure> TgaReader::open(std::span<const std::uint8_t> bytes,
                                                                 std::uint64_t pixel_limit) {
  if (!looks_like_tga(bytes)) return std::monostate{};
  const std::uint8_t* h = bytes.data();
  const unsigned map_type = h[1], type = h[2], map_bits = h[7], depth = h[16], descriptor = h[17];
  const unsigned kind = type & 7;
  const std::uint32_t map_first = load_le16(h + 3), map_length = load_le16(h + 5);
  const std::uint32_t width = load_le16(h + 12), height = load_le16(h + 14);
  const std::uint64_t map_at = header_size + h[0];
  const std::uint64_t map_bytes = before_pixels(h) - map_at;
  if (bytes.size() < map_at + map_bytes) return std::monostate{};

  TgaReader reader;
  reader.bytes_ = bytes;
  reader.map_ = bytes.subspan(static_cast<std::size_t>(map_at), static_cast<std::size_t>(map_bytes));
  reader.pixels_at_ = map_at + map_bytes;
  reader.width_ = width;
  reader.height_ = height;
  reader.map_first_ = map_first;
  reader.map_length_ = map_type == 1 ? map_length : 0;
  reader.map_bits_ = static_cast<std::uint8_t>(map_bits);
  reader.kind_ = static_cast<std::uint8_t>(kind);
  reader.depth_ = static_cast<std::uint8_t>(depth);
  reader.run_length_ = type >= 8;
  reader.top_first_ = (descriptor & 0x20) != 0;
  reader.right_to_left_ = (descriptor & 0x10) != 0;
  const unsigned alpha_bits = descriptor & 15;
  const unsigned colour = kind == 1 ? map_bits : depth;
  reader.alpha_ = (colour == 32 && alpha_bits == 8) || (colour == 16 && alpha_bits == 1);

  const std::string size = std::to_string(width) + " x " + std::to_string(height) + " pixels";
  if (std::uint64_t{width} * height > pixel_limit)
    return Failure{Fault::unsupported, size + ", more than the " + std::to_string(pixel_limit) +
                                           " a compressed picture may have (--max-pixels raises the limit)"};
  const std::uint64_t stored = std::uint64_t{width} * height * ((depth + 7) / 8);
  if (!reader.run_length_ && bytes.size() - reader.pixels_at_ < stored)
    return Failure{Fault::cannot_open, "the TGA is cut short: its " + size + " need " + std::to_string(stored) +
                                           " bytes and " + std::to_string(bytes.size() - reader.pixels_at_) +
                                           " follow its header"};
  return reader;
}

void TgaReader::quad_of(const std::uint8_t* from, std::uint8_t* quad) const {
  if (kind_ == 3) {
    quad[0] = quad[1] = quad[2] = from[0];
    quad[3] = 255;
    return;
  }
  if (kind_ == 2) return colour_quad(from, depth_, alpha_, quad);
  // Checked by the caller to lie inside the map.
  const std::size_t entry = (map_bits_ + 7u) / 8;
  colour_quad(map_.data() + (from[0] - map_first_) * entry, map_bits_, alpha_, quad);
}

void TgaReader::read_rows(std::uint32_t top, std::uint32_t count, std::uint8_t* quads) const {
  for (std::uint32_t y = top; y < top + count; ++y) read_part(y, 0, width_, quads + std::size_t{y - top} * width_ * 4);
}

void TgaReader::read_part(std::uint32_t y, std::uint32_t x, std::uint32_t count, std::uint8_t* quads) const {
  const std::size_t pixel = (depth_ + 7u) / 8;
  const std::uint64_t row = top_first_ ? y : height_ - 1 - y;
  // The stored columns that hold the part: the same ones, or their mirror when stored right to left.
  const std::uint32_t begin = right_to_left_ ? width_ - x - count : x, end = begin + count;
  const auto put = [&](std::uint32_t column, const std::uint8_t* from) {
    quad_of(from, quads + std::size_t{(right_to_left_ ? width_ - 1 - column : column) - x} * 4);
  };
  if (!run_length_) {
    const std::uint8_t* from = bytes_.data() + pixels_at_ + row * width_ * pixel;
    for (std::uint32_t column = begin; column < end; ++column) put(column, from + std::size_t{column} * pixel);
    return;
  }
  // The check has seen every packet this row touches whole.
  std::uint64_t at = row_starts_[static_cast<std::size_t>(row)].packet;
  std::uint32_t taken = row_starts_[static_cast<std::size_t>(row)].taken;
  for (std::uint32_t column = 0; column < end;) {
    const unsigned packet = bytes_[static_cast<std::size_t>(at)];
    const bool run = (packet & 0x80) != 0;
    const std::uint32_t length = (packet & 0x7Fu) + 1;
    const std::uint8_t* data = bytes_.data() + at + 1;
    for (; taken < length && column < end; ++taken, ++column) {
      if (column >= begin) put(column, data + (run ? 0 : taken * pixel));
    }
    if (taken == length) {
      at += 1 + (run ? 1 : length) * pixel;
      taken = 0;
    }
  }
}

std::optional<Failure> TgaReader::check() {
  const std::size_t pixel = (depth_ + 7u) / 8;
  const std::uint64_t total = std::uint64_t{width_} * height_;
  // Only a colour-mapped pixel has an index to check.
  const auto index_failure = [&](const std::uint8_t* from, std::uint64_t count,
                                 std::size_t step) -> std::optional<Failure> {
    if (kind_ != 1) return std::nullopt;
    for (std::uint64_t n = 0; n < count; ++n, from += step) {
      if (from[0] < map_first_ || from[0] - map_first_ >= map_length_)
        return Failure{Fault::cannot_open, "the TGA's pixel index " + std::to_string(from[0]) +
                                               " lies outside its colour map of " + std::to_string(map_length_) +
                                               " entries from " + std::to_string(map_first_)};
    }
    return std::nullopt;
  };
  if (!run_length_) return index_failure(bytes_.data() + pixels_at_, total, pixel);
  const std::uint64_t end = bytes_.size();
  const Failure cut_short{Fault::cannot_open, "the TGA is cut short: its run-length coded pixels end after " +
                                                  std::to_string(end - pixels_at_) + " bytes"};
  std::vector<RowStart> starts;
  if (std::optional<Failure> failed =
          within_memory("the TGA's rows cannot be noted in memory", [&] { starts.reserve(height_); }))
    return failed;
  std::uint64_t at = pixels_at_;
  for (std::uint64_t k = 0; k < total;) {
    if (at >= end) return cut_short;
    const unsigned packet = bytes_[static_cast<std::size_t>(at)];
    const std::uint64_t count = std::min<std::uint64_t>((packet & 0x7F) + 1u, total - k);
    const bool run = (packet & 0x80) != 0;
    const std::uint64_t stored = (run ? 1 : count) * pixel;
    if (end - at - 1 < stored) return cut_short;
    if (std::optional<Failure> failed = index_failure(bytes_.data() + at + 1, run ? 1 : count, pixel)) return failed;
    // The rows that start inside this packet (a packet may run on from one row to the next).
    for (std::uint64_t row_at = (k + width_ - 1) / width_ * width_; row_at < k + count; row_at += width_)
      starts.push_back({at, static_cast<std::uint32_t>(row_at - k)});
    k += count;
    at += 1 + stored;
  }
  row_starts_ = std::move(starts);
  return std::nullopt;
}

std::optional<Failure> TgaReader::read_whole(std::span<std::uint8_t> quads) {
  if (std::optional<Failure> failed = check()) return failed;
  read_rows(0, height_, quads.data());
  return std::nullopt;
}
