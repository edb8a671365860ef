#include "read/exif_orientation.h"

#include <array>
#include <cstring>
#include <optional>
#include <vector>

#include "read/png_reader.h"

namespace {

constexpr std::uint16_t orientation_tag = 0x0112;
constexpr std::uint16_t type_short = 3;
constexpr std::uint16_t type_long = 4;
// A JPEG segment's length counts its two length bytes and at most 65533 more.
constexpr std::uint32_t most_segment_bytes = 65533;

// Bytes `count` long from `offset` on, or nothing when they do not all lie in `file`.
std::optional<std::vector<std::uint8_t>> bytes_at(ByteWindows& file, std::uint64_t offset, std::uint64_t count) {
  if (offset > file.size() || count > file.size() - offset) return std::nullopt;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(count));
  if (file.copy(offset, bytes)) return std::nullopt;
  return bytes;
}

// The TIFF structure that starts at `base` in `file` and runs `size` bytes.
class Tiff {
 public:
  Tiff(ByteWindows& file, std::uint64_t base, std::uint64_t size) : file_(file), base_(base), size_(size) {}

  std::uint8_t orientation() {
    std::array<std::uint8_t, 8> header{};
    if (!read(0, header)) return 1;
    if (header[0] == 'I' && header[1] == 'I') {
      big_endian_ = false;
    } else if (header[0] == 'M' && header[1] == 'M') {
      big_endian_ = true;
    } else {
      return 1;
    }
    if (value(header.data() + 2, 2) != 42) return 1;
    const std::uint64_t directory = value(header.data() + 4, 4);
    std::array<std::uint8_t, 2> count_bytes{};
    if (!read(directory, count_bytes)) return 1;
    const std::uint64_t count = value(count_bytes.data(), 2);
    for (std::uint64_t k = 0; k < count; ++k) {
      std::array<std::uint8_t, 12> entry{};
      if (!read(directory + 2 + 12 * k, entry)) return 1;
      if (value(entry.data(), 2) != orientation_tag) continue;
      const std::uint64_t type = value(entry.data() + 2, 2);
      if (value(entry.data() + 4, 4) != 1) return 1;
      // A value of 4 bytes or less lies in the entry itself, from its first byte.
      const std::uint64_t tag = type == type_short  ? value(entry.data() + 8, 2)
                                : type == type_long ? value(entry.data() + 8, 4)
                                                    : 0;
      return tag >= 1 && tag <= 8 ? static_cast<std::uint8_t>(tag) : 1;
    }
    return 1;
  }

 private:
  // `into.size()` bytes from `offset` of the structure, all inside it.
  bool read(std::uint64_t offset, std::span<std::uint8_t> into) {
    if (offset > size_ || into.size() > size_ - offset) return false;
    return !file_.copy(base_ + offset, into);
  }

  std::uint64_t value(const std::uint8_t* bytes, int length) const {
    std::uint64_t v = 0;
    for (int i = 0; i < length; ++i) v = v << 8 | bytes[big_endian_ ? i : length - 1 - i];
    return v;
  }

  ByteWindows& file_;
  std::uint64_t base_;
  std::uint64_t size_;
  bool big_endian_ = false;
};

bool starts_with(std::span<const std::uint8_t> bytes, std::span<const std::uint8_t> start) {
  return bytes.size() >= start.size() && std::memcmp(bytes.data(), start.data(), start.size()) == 0;
}

std::uint8_t jpeg_orientation(ByteWindows& file) {
  constexpr std::uint8_t exif_start[] = {'E', 'x', 'i', 'f', 0, 0};
  std::uint64_t at = 2;
  for (;;) {
    const std::optional<std::vector<std::uint8_t>> marker = bytes_at(file, at, 2);
    if (!marker || (*marker)[0] != 0xFF) return 1;
    const std::uint8_t code = (*marker)[1];
    if (code == 0xFF) {  // a fill byte before the marker
      ++at;
      continue;
    }
    // The scan, or the end: the metadata segments come before them.
    if (code == 0xDA || code == 0xD9) return 1;
    // Markers without a segment: TEM and the restart markers.
    if (code == 0x01 || (code >= 0xD0 && code <= 0xD7)) {
      at += 2;
      continue;
    }
    const std::optional<std::vector<std::uint8_t>> length_bytes = bytes_at(file, at + 2, 2);
    if (!length_bytes) return 1;
    const std::uint32_t length = std::uint32_t{(*length_bytes)[0]} << 8 | (*length_bytes)[1];
    if (length < 2) return 1;
    if (code == 0xE1 && length - 2 >= sizeof exif_start) {
      const std::optional<std::vector<std::uint8_t>> start = bytes_at(file, at + 4, sizeof exif_start);
      if (start && starts_with(*start, exif_start))
        return Tiff(file, at + 4 + sizeof exif_start, std::min(length - 2, most_segment_bytes) - sizeof exif_start)
            .orientation();
    }
    at += 2 + std::uint64_t{length};
  }
}

std::uint8_t png_orientation(ByteWindows& file) {
  std::uint64_t at = 8;
  for (;;) {
    const std::optional<std::vector<std::uint8_t>> start = bytes_at(file, at, 8);
    if (!start) return 1;
    const std::uint8_t* s = start->data();
    const std::uint64_t length =
        std::uint64_t{s[0]} << 24 | std::uint64_t{s[1]} << 16 | std::uint64_t{s[2]} << 8 | s[3];
    if (std::memcmp(s + 4, "IEND", 4) == 0) return 1;
    if (std::memcmp(s + 4, "eXIf", 4) == 0) {
      if (length > file.size() - (at + 8)) return 1;
      return Tiff(file, at + 8, length).orientation();
    }
    at += 12 + length;
  }
}

}  // namespace

std::uint8_t exif_orientation(std::span<const std::uint8_t> tiff) {
  SpanByteWindows bytes(tiff);
  return Tiff(bytes, 0, tiff.size()).orientation();
}

std::uint8_t picture_orientation(ByteWindows& file) {
  const std::optional<std::vector<std::uint8_t>> start = bytes_at(file, 0, 8);
  if (!start) return 1;
  if ((*start)[0] == 0xFF && (*start)[1] == 0xD8) return jpeg_orientation(file);
  if (has_png_signature(*start)) return png_orientation(file);
  constexpr std::uint8_t little[] = {'I', 'I', 42, 0}, big[] = {'M', 'M', 0, 42};
  if (starts_with(*start, little) || starts_with(*start, big)) return Tiff(file, 0, file.size()).orientation();
  return 1;
}
