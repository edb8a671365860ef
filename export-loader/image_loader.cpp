#include "export-loader/image_loader.h"

#include <utility>

#include "export-loader/bmp_reader.h"

LoadedPicture::LoadedPicture(LoadedPicture&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)),
      width_(std::exchange(other.width_, 0)),
      height_(std::exchange(other.height_, 0)),
      row_length_(std::exchange(other.row_length_, 0)),
      bits_per_pixel_(std::exchange(other.bits_per_pixel_, 0)),
      compression_(std::exchange(other.compression_, 0)),
      rows_(std::exchange(other.rows_, {})) {}

LoadedPicture& LoadedPicture::operator=(LoadedPicture&& other) noexcept {
  if (this != &other) {
    release();
    handle_ = std::exchange(other.handle_, nullptr);
    width_ = std::exchange(other.width_, 0);
    height_ = std::exchange(other.height_, 0);
    row_length_ = std::exchange(other.row_length_, 0);
    bits_per_pixel_ = std::exchange(other.bits_per_pixel_, 0);
    compression_ = std::exchange(other.compression_, 0);
    rows_ = std::exchange(other.rows_, {});
  }
  return *this;
}

LoadedPicture::~LoadedPicture() { release(); }

std::optional<LoadFault> fault_of(BmpVerdict verdict) {
  switch (verdict) {
    case BmpVerdict::not_a_picture:
      return LoadFault::cannot_open;
    case BmpVerdict::unsupported:
      return LoadFault::unsupported;
    case BmpVerdict::picture:
      break;
  }
  return std::nullopt;
}
