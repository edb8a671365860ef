#include "codecs/image_codecs.h"

#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <new>
#include <string_view>

#include "codecs/jpeg_structure.h"
#include "pixels/little_endian.h"

namespace {

constexpr unsigned to_8_bits(unsigned v16) { return (v16 * 255 + 32767) / 65535; }

}  // namespace

void quads_row(const std::uint8_t* pixels, CodecRow layout, std::uint32_t width, std::uint8_t* quads) {
  for (std::uint32_t x = 0; x < width; ++x, quads += 4) {
    unsigned blue = 0, green = 0, red = 0, alpha = 255;
    if (layout == CodecRow::bgra8) {
      blue = pixels[0], green = pixels[1], red = pixels[2], alpha = pixels[3];
      pixels += 4;
    } else if (layout == CodecRow::bgr8) {
      blue = pixels[0], green = pixels[1], red = pixels[2];
      pixels += 3;
    } else if (layout == CodecRow::gray8) {
      red = green = blue = pixels[0];
      pixels += 1;
    } else if (layout == CodecRow::gray16) {
      red = green = blue = to_8_bits(load_le16(pixels));
      pixels += 2;
    } else {
      red = to_8_bits(load_le16(pixels)), green = to_8_bits(load_le16(pixels + 2));
      blue = to_8_bits(load_le16(pixels + 4));
      if (layout == CodecRow::rgba16) alpha = to_8_bits(load_le16(pixels + 6));
      pixels += layout == CodecRow::rgba16 ? 8 : 6;
    }
    quads[0] = static_cast<std::uint8_t>(blue);
    quads[1] = static_cast<std::uint8_t>(green);
    quads[2] = static_cast<std::uint8_t>(red);
    quads[3] = static_cast<std::uint8_t>(alpha);
  }
}

std::uint32_t checked_reduction(const DecodeReduction& choose, std::uint32_t width, std::uint32_t height) {
  if (!choose) return 1;
  const std::uint32_t n = choose(width, height);
  if (n != 2 && n != 4 && n != 8) return 1;
  return width % n == 0 && height % n == 0 ? n : 1;
}

std::optional<Failure> over_limit(std::uint64_t width, std::uint64_t height, std::uint64_t pixel_limit) {
  if (width * height <= pixel_limit) return std::nullopt;
  return Failure{Fault::unsupported, std::to_string(width) + " x " + std::to_string(height) +
                                         " pixels, more than the " + std::to_string(pixel_limit) +
                                         " a compressed picture may have (--max-pixels raises the limit)"};
}

std::variant<CodecPicture, Failure> allocate_picture(std::uint32_t width, std::uint32_t height) {
  const std::string size = std::to_string(width) + " x " + std::to_string(height) + " pixels";
  if (width == 0 || height == 0) return Failure{Fault::unsupported, "the picture has no pixels"};
  const std::uint64_t bytes = std::uint64_t{width} * height * 4;
  if (!raw_image_size(width, height) || bytes > SIZE_MAX)
    return Failure{Fault::unsupported, size + ": the raw image would not fit 4 GiB"};
  CodecPicture picture{
      width, height, std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(bytes)])};
  if (!picture.quads) return Failure{Fault::unsupported, size + ": no memory for them"};
  return picture;
}

const char* codec_format_of(std::span<const std::uint8_t> file) {
  const auto starts_with = [&](std::initializer_list<std::uint8_t> signature) {
    return file.size() >= signature.size() && std::equal(signature.begin(), signature.end(), file.begin());
  };
  if (starts_with({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A})) return "PNG";
  // A start-of-image marker and the first byte of the next marker.
  if (starts_with({0xFF, 0xD8, 0xFF})) return "JPEG";
  if (starts_with({'G', 'I', 'F', '8', '7', 'a'}) || starts_with({'G', 'I', 'F', '8', '9', 'a'})) return "GIF";
  // Either byte order's mark and the number 42 in it.
  if (starts_with({'I', 'I', 42, 0}) || starts_with({'M', 'M', 0, 42})) return "TIFF";
  return nullptr;
}

std::variant<CodecPicture, Failure> decode_with_codecs(std::span<const std::uint8_t> file, std::uint64_t pixel_limit,
                                                       const DecodeReduction& reduce) {
  const char* format = codec_format_of(file);
  // The codecs decode a JPEG cut short into grey rows, and call it a success.
  if (format != nullptr && std::string_view(format) == "JPEG") {
    if (std::optional<Failure> broken = check_jpeg_structure(file)) return std::move(*broken);
  }
  std::variant<CodecPicture, Failure> decoded = decode_with_platform_codecs(file, pixel_limit, reduce);
  Failure* failure = std::get_if<Failure>(&decoded);
  // A GIF's transparent pixels have no colour of their own, only an index that the platforms' codecs
  // fill in differently: they are transparent black on every build.
  if (CodecPicture* picture = std::get_if<CodecPicture>(&decoded);
      picture != nullptr && format != nullptr && std::string_view(format) == "GIF") {
    std::uint8_t* quad = picture->quads.get();
    for (std::uint64_t k = 0; k < std::uint64_t{picture->width} * picture->height; ++k, quad += 4) {
      if (quad[3] == 0) quad[0] = quad[1] = quad[2] = 0;
    }
  }
  if (failure == nullptr || format == nullptr || failure->fault == Fault::unsupported) return decoded;
  // The Windows Imaging Component does not recognise a damaged container at all, where Qt names its
  // format and then fails to read it. Left to them, a broken PNG would be refused as "not a BMP
  // file" on Windows only. Where the codec gave a cause, it is named.
  std::string reason = "the " + std::string(format) + " is damaged or cut short: it cannot be decoded";
  if (!failure->reason.empty()) reason = "the " + std::string(format) + " cannot be decoded: " + failure->reason;
  return Failure{Fault::cannot_open, std::move(reason)};
}
