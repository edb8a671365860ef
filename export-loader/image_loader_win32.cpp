// The Win32 build loads the picture with the system's loader, as a device-independent section in
// the file's own pixel format, and walks the section's rows.
//
// The system loader is not trusted with the file's bytes, though. It is handed only files that the
// BMP reader has checked first: given a file cut short, a pixel offset past the end or a
// compressed 24-bit file, Wine's loader still returns a picture, made up of whatever lay beyond
// the file or of the compressed codes taken for pixels, and a job would convert that and report
// success. And for a top-down file its section cannot be relied on: Wine 8 makes it bottom-up and
// leaves it blank, and a loader that turns the rows bottom-up would put the last stored row first.
// A top-down file's section therefore receives the file's checked stored rows, first stored row
// first, so that both builds convert every file they accept to the same bytes.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "export-loader/image_loader.h"

static_assert(sizeof(BITMAP) == 24, "the image description is the 24-byte BITMAP record of the 32-bit build");

namespace {

// The file's bytes, read whole for the reader's check.
class FileBytes {
 public:
  FileBytes() = default;
  FileBytes(const FileBytes&) = delete;
  FileBytes& operator=(const FileBytes&) = delete;
  ~FileBytes() { std::free(data_); }

  bool read(const char* path) {
    // A folder does not open without FILE_FLAG_BACKUP_SEMANTICS: it fails here as unreadable.
    const HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool complete = read_open(file);
    CloseHandle(file);
    return complete;
  }
  std::span<const std::uint8_t> bytes() const { return {data_, size_}; }

 private:
  bool read_open(HANDLE file) {
    LARGE_INTEGER length{};
    if (!GetFileSizeEx(file, &length) || static_cast<std::uint64_t>(length.QuadPart) > SIZE_MAX) return false;
    size_ = static_cast<std::size_t>(length.QuadPart);
    data_ = static_cast<std::uint8_t*>(std::malloc(size_ == 0 ? 1 : size_));
    if (data_ == nullptr) return false;
    for (std::size_t done = 0; done < size_;) {
      const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(size_ - done, 1u << 30));
      DWORD got = 0;
      if (!ReadFile(file, data_ + done, wanted, &got, nullptr) || got == 0) return false;
      done += got;
    }
    return true;
  }

  std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
};

// An empty bottom-up 24-bit section of the picture's size.
HANDLE make_section(const BmpPicture& bmp) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = static_cast<LONG>(bmp.width);
  info.bmiHeader.biHeight = static_cast<LONG>(bmp.height);
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
}

}  // namespace

PictureLoad LoadedPicture::load(const char* path) {
  FileBytes file;
  if (!file.read(path)) return LoadFault::cannot_open;
  const BmpPicture bmp = read_bmp(file.bytes());
  if (const std::optional<LoadFault> fault = fault_of(bmp.verdict)) return *fault;

  HANDLE image = LoadImageA(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION);
  // A file the reader accepted but the system loader refuses (Wine's takes no 52- or 56-byte
  // information header) gets a section of the same size made here, filled from the checked rows
  // below, so that both builds convert the same files.
  const bool made_here = image == nullptr;
  if (made_here) image = make_section(bmp);
  if (image == nullptr) return LoadFault::cannot_open;
  // Owned by the picture from here, so that every early return deletes it.
  LoadedPicture picture(image);

  BITMAP description{};
  if (GetObjectA(image, sizeof description, &description) == 0) return LoadFault::cannot_open;

  // The section must be the picture the reader found: the same size, with room for every row.
  const std::int64_t rows = description.bmHeight < 0 ? -std::int64_t{description.bmHeight} : description.bmHeight;
  const std::int64_t row_length = description.bmWidthBytes;
  if (description.bmBits == nullptr || description.bmWidth != std::int64_t{bmp.width} || rows != bmp.height ||
      row_length < std::int64_t{bmp.width} * 3 || static_cast<std::uint64_t>(row_length) * bmp.height > SIZE_MAX) {
    return LoadFault::cannot_open;
  }
  auto* const bits = static_cast<std::uint8_t*>(description.bmBits);
  const auto section_size = static_cast<std::size_t>(row_length * rows);

  if (bmp.top_down || made_here) {
    const std::size_t pixel_bytes = std::size_t{bmp.width} * 3;
    for (std::size_t row = 0; row < bmp.height; ++row) {
      std::memcpy(bits + row * static_cast<std::size_t>(row_length), bmp.rows.data() + row * bmp.row_length,
                  pixel_bytes);
    }
  }

  picture.width_ = bmp.width;
  picture.height_ = bmp.height;
  picture.row_length_ = static_cast<std::uint32_t>(row_length);
  picture.bits_per_pixel_ = description.bmBitsPixel;
  // A section holds its pixels uncompressed whatever the file held; the file's own compression is
  // the one that tells whether its pixels were read as they were stored.
  picture.compression_ = bmp.compression;
  picture.rows_ = {bits, section_size};
  return picture;
}

void LoadedPicture::release() {
  if (handle_ != nullptr) DeleteObject(static_cast<HGDIOBJ>(handle_));
  handle_ = nullptr;
  rows_ = {};
}
