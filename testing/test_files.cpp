#include "testing/test_files.h"
#include "pixels/bmp_fields.h"
#include "pixels/little_endian.h"
#include "testing/bmp_output_header.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  path_ = fs::temp_directory_path() / ("rgb565-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
  fs::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ignored;
  // Files made read-only by a test must not keep the folder alive.
  for (const auto& entry : fs::recursive_directory_iterator(path_, ignored))
    fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(path_, ignored);
}

std::string TempDir::file(const std::string& name) const { return (path_ / name).string(); }

void write_file(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::optional<Bytes> read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool file_exists(const std::string& path) {
  std::error_code ignored;
  return fs::exists(path, ignored);
}

std::vector<std::string> names_in(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(folder, ignored)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::uint32_t stored_row_length(std::int32_t width) { return (static_cast<std::uint32_t>(width) * 3 + 3) & ~3u; }

Bytes make_bmp(const BmpLayout& layout, const std::function<BgrTriple(std::int32_t, std::int32_t)>& pixel) {
  const std::uint32_t row_length = stored_row_length(layout.width);
  const std::uint32_t rows = static_cast<std::uint32_t>(std::abs(layout.height));
  const std::uint32_t offset = bmp_size::file_header + layout.info_size + layout.gap;
  Bytes bytes(offset + row_length * rows, 0);
  bytes[bmp_field::signature] = 'B';
  bytes[bmp_field::signature + 1] = 'M';
  store_le32(bytes.data() + bmp_field::file_size, static_cast<std::uint32_t>(bytes.size()));
  store_le32(bytes.data() + bmp_field::pixel_offset, offset);
  store_le32(bytes.data() + bmp_field::info_size, layout.info_size);
  store_le32(bytes.data() + bmp_field::width, static_cast<std::uint32_t>(layout.width));
  store_le32(bytes.data() + bmp_field::height, static_cast<std::uint32_t>(layout.height));
  store_le16(bytes.data() + bmp_field::planes, 1);
  store_le16(bytes.data() + bmp_field::bits_per_pixel, layout.bits_per_pixel);
  store_le32(bytes.data() + bmp_field::compression, layout.compression);
  store_le32(bytes.data() + bmp_field::image_size, row_length * rows);
  for (std::uint32_t y = 0; y < rows; ++y) {
    std::uint8_t* row = bytes.data() + offset + y * row_length;
    for (std::int32_t x = 0; x < layout.width; ++x) {
      const BgrTriple p = pixel(x, static_cast<std::int32_t>(y));
      row[3 * x] = p.blue;
      row[3 * x + 1] = p.green;
      row[3 * x + 2] = p.red;
    }
    for (std::uint32_t pad = static_cast<std::uint32_t>(layout.width) * 3; pad < row_length; ++pad) row[pad] = 0xEE;
  }
  return bytes;
}

Bytes table_bmp(std::int32_t width, std::int32_t height, std::uint16_t bits, std::uint32_t compression,
                const Bytes& table, const Bytes& pixels) {
  Bytes file(54 + table.size() + pixels.size());
  file[0] = 'B';
  file[1] = 'M';
  store_le32(file.data() + 10, static_cast<std::uint32_t>(54 + table.size()));
  store_le32(file.data() + 14, 40);
  store_le32(file.data() + 18, static_cast<std::uint32_t>(width));
  store_le32(file.data() + 22, static_cast<std::uint32_t>(height));
  store_le16(file.data() + 26, 1);
  store_le16(file.data() + 28, bits);
  store_le32(file.data() + 30, compression);
  std::copy(table.begin(), table.end(), file.begin() + 54);
  std::copy(pixels.begin(), pixels.end(), file.begin() + 54 + static_cast<std::ptrdiff_t>(table.size()));
  return file;
}

BgrTriple pattern_pixel(std::int32_t x, std::int32_t y) {
  return BgrTriple{static_cast<std::uint8_t>(x * 7 + y * 13), static_cast<std::uint8_t>(x * 29 + y * 3 + 5),
                   static_cast<std::uint8_t>(x * 11 + y * 31 + 17)};
}

std::uint16_t word_by_hand(BgrTriple pixel) {
  return static_cast<std::uint16_t>((pixel.red >> 3) << 11 | (pixel.green >> 2) << 5 | pixel.blue >> 3);
}

BgrTriple pixel_by_hand(std::uint16_t word) {
  return BgrTriple{static_cast<std::uint8_t>((word & 0x1F) << 3), static_cast<std::uint8_t>((word >> 5 & 0x3F) << 2),
                   static_cast<std::uint8_t>((word >> 11) << 3)};
}

Bytes expected_raw(const BmpLayout& layout, const std::function<BgrTriple(std::int32_t, std::int32_t)>& pixel) {
  Bytes raw;
  const std::int32_t rows = std::abs(layout.height);
  for (std::int32_t y = 0; y < rows; ++y) {
    for (std::int32_t x = 0; x < layout.width; ++x) {
      const std::uint16_t word = word_by_hand(pixel(x, y));
      raw.push_back(static_cast<std::uint8_t>(word));
      raw.push_back(static_cast<std::uint8_t>(word >> 8));
    }
  }
  return raw;
}

Bytes raw_words(std::size_t size) {
  Bytes raw(size);
  for (std::size_t i = 0; i < size; ++i) raw[i] = static_cast<std::uint8_t>(i % 2 == 0 ? i / 2 : i / 2 / 256 + i % 7);
  return raw;
}

Bytes expected_frame_bmp(const Bytes& raw) {
  constexpr std::size_t frame_words = 568 * 130;
  Bytes bmp(fixed_frame_header_bytes.size() + frame_words * 3, 0);
  std::copy(fixed_frame_header_bytes.begin(), fixed_frame_header_bytes.end(), bmp.begin());
  for (std::size_t k = 0; k < raw.size() / 2 && k < frame_words; ++k) {
    const BgrTriple pixel = pixel_by_hand(static_cast<std::uint16_t>(raw[2 * k] | raw[2 * k + 1] << 8));
    bmp[58 + 3 * k] = pixel.blue;
    bmp[58 + 3 * k + 1] = pixel.green;
    bmp[58 + 3 * k + 2] = pixel.red;
  }
  return bmp;
}
