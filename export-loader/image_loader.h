// The image loader: a BMP file loaded into memory as a picture whose stored rows a job can walk.
// The Win32 build loads it with the system's loader as a device-independent section; other builds
// read the file and find its rows with the BMP reader. Either way the rows come in the file's
// stored order (the first stored row first: the bottom row of a bottom-up file, the top row of a
// top-down one), in the file's own pixel format, and both builds give the same pixels for the same
// file.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <variant>

#include "export-loader/bmp_reader.h"

enum class LoadFault {
  // Missing, unreadable, a folder, not a BMP, or cut short.
  cannot_open,
  // A BMP, but not one that is converted (see BmpVerdict::unsupported).
  unsupported,
};

// What a reader's verdict on a file means for loading it: nullopt for a picture to convert.
std::optional<LoadFault> fault_of(BmpVerdict verdict);

class LoadedPicture;
using PictureLoad = std::variant<LoadedPicture, LoadFault>;

class LoadedPicture {
 public:
  static PictureLoad load(const char* path);

  LoadedPicture(const LoadedPicture&) = delete;
  LoadedPicture& operator=(const LoadedPicture&) = delete;
  LoadedPicture(LoadedPicture&& other) noexcept;
  LoadedPicture& operator=(LoadedPicture&& other) noexcept;
  ~LoadedPicture();  // releases the picture

  std::uint32_t width() const { return width_; }
  std::uint32_t height() const { return height_; }  // rows
  std::uint32_t row_length() const { return row_length_; }
  std::uint16_t bits_per_pixel() const { return bits_per_pixel_; }
  std::uint32_t compression() const { return compression_; }
  // From the first stored row on; holds at least rows_extent(row_length, width, height) bytes.
  std::span<const std::uint8_t> rows() const { return rows_; }

 private:
  explicit LoadedPicture(void* handle) : handle_(handle) {}
  void release();

  // The Win32 build's bitmap handle; elsewhere the memory that holds the file.
  void* handle_ = nullptr;
  std::uint32_t width_ = 0;
  std::uint32_t height_ = 0;
  std::uint32_t row_length_ = 0;
  std::uint16_t bits_per_pixel_ = 0;
  std::uint32_t compression_ = 0;
  std::span<const std::uint8_t> rows_;
};
