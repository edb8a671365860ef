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
//
// A picture of another depth is decoded from the section with its colour table (GetDIBColorTable)
// or its masks, by the same decoder that the other builds use on the file. Wine 8's section keeps
// the file's depth and decodes run-length codes into it, zeros where no code reaches; but it holds
// every 16-bit picture as 5-5-5 and every 32-bit one as 8-8-8, dropping a 5-6-5 picture's low green
// bit, it refuses the 52- and 56-byte headers, it leaves a top-down section blank, and it turns
// the second entry of a core header's colour table black. Where the section is not the file's own
// format (a different depth, other masks, other colours, upside down, or none at all) the file's
// checked rows are decoded instead.
#include <windows.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <variant>

#include "files/owned.h"
#include "files/system_error.h"
#include "files/view_access.h"
#include "read/image_loader.h"

// The image description is the platform's BITMAP record: 24 bytes in the 32-bit build, 32 in the
// 64-bit one, where bmBits is a 64-bit pointer after four bytes of padding.
static_assert(sizeof(BITMAP) == (sizeof(void*) == 4 ? 24 : 32), "the platform's BITMAP record");

namespace {

// The file's bytes, read whole for the reader's check; empty when the file cannot be read. A
// folder does not open without FILE_FLAG_BACKUP_SEMANTICS: it fails here as unreadable.
struct FileBytes {
  std::unique_ptr<std::uint8_t[]> data;
  std::size_t size = 0;
};

// The file's bytes, or the reason they could not be had, in plain words.
std::variant<FileBytes, std::string> read_whole_file(const char* path) {
  const SystemFile file(reinterpret_cast<std::intptr_t>(
      CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)));
  if (!file) return describe(last_open_error(path));
  const HANDLE handle = reinterpret_cast<HANDLE>(file.get());
  LARGE_INTEGER length{};
  if (!GetFileSizeEx(handle, &length)) return describe(last_system_error());
  if (static_cast<std::uint64_t>(length.QuadPart) > SIZE_MAX) return describe({FileFault::too_large, 0});
  // As the other build's view refuses it, so that both say the same.
  if (length.QuadPart == 0) return describe({FileFault::empty_file, 0});
  FileBytes bytes;
  bytes.size = static_cast<std::size_t>(length.QuadPart);
  bytes.data.reset(new (std::nothrow) std::uint8_t[bytes.size == 0 ? 1 : bytes.size]);
  if (bytes.data == nullptr) return std::string("no memory to read the file");
  for (std::size_t done = 0; done < bytes.size;) {
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(bytes.size - done, 1u << 30));
    DWORD got = 0;
    if (!ReadFile(handle, bytes.data.get() + done, wanted, &got, nullptr)) return describe(last_system_error());
    // 0 before the end: the file shrank since its size was taken.
    if (got == 0) return std::string(cut_short_reason);
    done += got;
  }
  return bytes;
}

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

// A memory device context, for reading a section's colour table, with the section selected into it
// for as long as it lives.
struct MemoryDcPolicy {
  using Handle = HDC;
  static Handle empty() { return nullptr; }
  static void release(Handle dc) { DeleteDC(dc); }
};

struct Selection {
  HDC dc;
  HGDIOBJ previous;
  Selection(HDC into, HANDLE section) : dc(into), previous(SelectObject(into, static_cast<HGDIOBJ>(section))) {}
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;
  ~Selection() {
    if (previous != nullptr) SelectObject(dc, previous);
  }
};

// The section described as a picture of the file's format, for the decoder: its rows, and its colour
// table or masks. False when the section's format is not the file's own.
bool describe_section(HANDLE section, const BmpPicture& file, BmpPicture& described) {
  DIBSECTION dib{};
  if (GetObjectA(section, sizeof dib, &dib) != sizeof dib || dib.dsBm.bmBits == nullptr) return false;
  const std::uint64_t row_length = (std::uint64_t{file.width} * file.bits_per_pixel + 31) / 32 * 4;
  if (file.top_down || dib.dsBmih.biHeight <= 0 || dib.dsBm.bmWidth != std::int64_t{file.width} ||
      dib.dsBm.bmHeight != std::int64_t{file.height} || dib.dsBm.bmBitsPixel != file.bits_per_pixel ||
      dib.dsBm.bmWidthBytes < 0 || static_cast<std::uint64_t>(dib.dsBm.bmWidthBytes) != row_length ||
      row_length * file.height > SIZE_MAX) {
    return false;
  }
  described = file;
  described.compression = bmp_uncompressed;
  described.row_length = static_cast<std::uint32_t>(row_length);
  described.rows = {static_cast<const std::uint8_t*>(dib.dsBm.bmBits),
                    static_cast<std::size_t>(row_length * file.height)};
  if (file.bits_per_pixel <= 8) {
    const Owned<MemoryDcPolicy> dc(CreateCompatibleDC(nullptr));
    if (!dc) return false;
    const Selection selected(dc.get(), section);
    RGBQUAD table[256];
    const UINT count = GetDIBColorTable(dc.get(), 0, 256, table);
    if (selected.previous == nullptr || count < file.colour_count) return false;
    described.colours = {};
    for (UINT k = 0; k < count; ++k)
      described.colours[k] = BgrTriple{table[k].rgbBlue, table[k].rgbGreen, table[k].rgbRed};
    described.colour_count = count;
    return std::equal(file.colours.begin(), file.colours.begin() + file.colour_count, described.colours.begin());
  }
  const std::array<std::uint32_t, 3> masks =
      dib.dsBmih.biCompression == BI_BITFIELDS
          ? std::array<std::uint32_t, 3>{dib.dsBitfields[0], dib.dsBitfields[1], dib.dsBitfields[2]}
      : file.bits_per_pixel == 16 ? std::array<std::uint32_t, 3>{0x7C00, 0x03E0, 0x001F}
                                  : std::array<std::uint32_t, 3>{0xFF0000, 0xFF00, 0xFF};
  return masks == file.masks;
}

}  // namespace

void BitmapPolicy::release(Handle bitmap) { DeleteObject(static_cast<HGDIOBJ>(bitmap)); }

PictureLoad LoadedPicture::load(const char* path, std::uint64_t pixel_limit) {
  const std::variant<FileBytes, std::string> read = read_whole_file(path);
  if (const std::string* reason = std::get_if<std::string>(&read)) return Failure{Fault::cannot_open, *reason};
  const FileBytes* file = &std::get<FileBytes>(read);
  const BmpPicture bmp = read_bmp({file->data.get(), file->size});
  if (std::optional<Failure> failure = failure_of(bmp, pixel_limit)) return std::move(*failure);

  HANDLE image = LoadImageA(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION);
  if (bmp.bits_per_pixel != 24) {
    LoadedPicture picture;
    picture.section_.reset(image);
    BmpPicture section;
    const bool from_section = image != nullptr && describe_section(image, bmp, section);
    if (std::optional<Failure> failure = picture.decode(from_section ? section : bmp)) return std::move(*failure);
    if (std::optional<Failure> failure = picture.keep_alpha(bmp)) return std::move(*failure);
    picture.section_.reset();
    return picture;
  }
  // A file the reader accepted but the system loader refuses (Wine's takes no 52- or 56-byte
  // information header) gets a section of the same size made here, filled from the checked rows
  // below, so that both builds convert the same files.
  const bool made_here = image == nullptr;
  if (made_here) image = make_section(bmp);
  if (image == nullptr) return Failure{Fault::cannot_open, "the system cannot load the picture"};
  // Owned by the picture from here, so that every early return deletes it.
  LoadedPicture picture;
  picture.section_.reset(image);

  BITMAP description{};
  if (GetObjectA(image, sizeof description, &description) == 0)
    return Failure{Fault::cannot_open, "the system cannot load the picture"};

  // The section must be the picture the reader found: the same size, with room for every row.
  const std::int64_t rows = description.bmHeight < 0 ? -std::int64_t{description.bmHeight} : description.bmHeight;
  const std::int64_t row_length = description.bmWidthBytes;
  // Its pixels must be the triples that the walk steps through, whatever the loader made of the file.
  if (description.bmBits == nullptr || description.bmBitsPixel != 24 ||
      description.bmWidth != std::int64_t{bmp.width} || rows != bmp.height ||
      row_length < std::int64_t{bmp.width} * 3 || static_cast<std::uint64_t>(row_length) * bmp.height > SIZE_MAX) {
    return Failure{Fault::cannot_open, "the system cannot load the picture"};
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
  picture.top_down_ = bmp.top_down;
  picture.row_length_ = static_cast<std::uint32_t>(row_length);
  picture.rows_ = {bits, section_size};
  return picture;
}
