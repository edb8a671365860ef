#include "testing/png_file.h"

#include <zlib.h>

#include <algorithm>
#include <stdexcept>

Bytes png_chunk(std::string_view type, const Bytes& data) {
  Bytes chunk(12 + data.size());
  const auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) chunk[at + k] = static_cast<std::uint8_t>(v >> (24 - 8 * k));
  };
  put32(0, static_cast<std::uint32_t>(data.size()));
  for (std::size_t k = 0; k < 4 && k < type.size(); ++k) chunk[4 + k] = static_cast<std::uint8_t>(type[k]);
  std::copy(data.begin(), data.end(), chunk.begin() + 8);
  put32(8 + data.size(), static_cast<std::uint32_t>(crc32(0, chunk.data() + 4, static_cast<uInt>(4 + data.size()))));
  return chunk;
}

Bytes png_ihdr(std::uint32_t width, std::uint32_t height, std::uint8_t depth, std::uint8_t colour_type,
               std::uint8_t interlace, std::uint8_t compression, std::uint8_t filter) {
  return png_chunk("IHDR", {static_cast<std::uint8_t>(width >> 24), static_cast<std::uint8_t>(width >> 16),
                            static_cast<std::uint8_t>(width >> 8), static_cast<std::uint8_t>(width),
                            static_cast<std::uint8_t>(height >> 24), static_cast<std::uint8_t>(height >> 16),
                            static_cast<std::uint8_t>(height >> 8), static_cast<std::uint8_t>(height), depth,
                            colour_type, compression, filter, interlace});
}

Bytes png_deflated(const Bytes& raw) {
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  Bytes out(size);
  if (compress2(out.data(), &size, raw.data(), static_cast<uLong>(raw.size()), 9) != Z_OK)
    throw std::runtime_error("compress2 failed");
  out.resize(size);
  return out;
}

Bytes png_of(std::initializer_list<Bytes> chunks) {
  Bytes file{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  for (const Bytes& chunk : chunks) file.insert(file.end(), chunk.begin(), chunk.end());
  return file;
}
