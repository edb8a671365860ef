// Files and pictures for tests: a temporary folder per test, whole-file reads and writes, and
// 24-bit BMPs built in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "pixels/pixels.h"

using Bytes = std::vector<std::uint8_t>;

// A fresh, empty folder that is removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The path of `name` inside the folder, as the narrow string the jobs take.
  std::string file(const std::string& name) const;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

void write_file(const std::string& path, const Bytes& bytes);
// The file's bytes, or nullopt when there is no file at the path.
std::optional<Bytes> read_file(const std::string& path);
bool file_exists(const std::string& path);
// The names in a folder, sorted; empty for a missing folder. Shows a file a failed save left behind.
std::vector<std::string> names_in(const std::string& folder);

struct BmpLayout {
  std::int32_t width = 1;
  std::int32_t height = 1;       // negative for a top-down file
  std::uint32_t info_size = 40;  // 40, 52, 56, 108 or 124
  std::uint32_t gap = 0;         // bytes between the headers and the pixel data
  std::uint16_t bits_per_pixel = 24;
  std::uint32_t compression = 0;
};

// The stored row length of a 24-bit row of `width` pixels, padding included.
std::uint32_t stored_row_length(std::int32_t width);

// A 24-bit BMP whose pixel at (x, stored row y) is pixel(x, y), rows in stored order; row padding
// is filled with 0xEE so that a reader that takes it for pixels is caught.
Bytes make_bmp(const BmpLayout& layout, const std::function<BgrTriple(std::int32_t x, std::int32_t y)>& pixel);

// A BMP with the 40-byte information header and no colour count: `table` (a colour table, or the
// masks of bit fields) lies between the header and the pixel data, which follows it directly.
Bytes table_bmp(std::int32_t width, std::int32_t height, std::uint16_t bits, std::uint32_t compression,
                const Bytes& table, const Bytes& pixels);

// A picture in which every pixel differs from its neighbours, for tests of row and pixel order.
BgrTriple pattern_pixel(std::int32_t x, std::int32_t y);

// A pixel's word and a word's pixel written out from the layout's definition (red in the top five
// bits, green in the middle six, blue in the low five; expanded with the low bits zero), so that the
// tests' expectations do not come from pack565 and expand565, the functions they test.
std::uint16_t word_by_hand(BgrTriple pixel);
BgrTriple pixel_by_hand(std::uint16_t word);

// The raw 16-bit image expected for make_bmp(layout, pixel): rows in stored order.
Bytes expected_raw(const BmpLayout& layout, const std::function<BgrTriple(std::int32_t x, std::int32_t y)>& pixel);

// A raw image whose words all differ, so that a shifted or reordered pixel shows.
Bytes raw_words(std::size_t size);

// The BMP that unpack makes of `raw` with no option: the 58-byte header of a 568 x 130 frame, then
// each word that fits the frame expanded by hand, the rest black.
Bytes expected_frame_bmp(const Bytes& raw);
