#include "containers/lvgl_image.h"

#include <string>
#include <utility>

#include "containers/c_array.h"
#include "containers/row_stride.h"
#include "pixels/little_endian.h"

namespace {

constexpr std::uint8_t lvgl_magic = 0x19;
constexpr std::uint16_t premultiplied_flag = 0x0001;
constexpr std::uint16_t compressed_flag = 0x0008;

struct FormatCode {
  PixelFormat format;
  std::uint8_t code;
  bool swapped = false;
  // Read only: LVGL's later code for premultiplied ARGB8888, which is written as ARGB8888 with the
  // premultiplied flag that every LVGL 9 reads.
  bool premultiplied = false;
};

constexpr FormatCode codes[] = {
    {PixelFormat::gray8, 0x06},        {PixelFormat::i1, 0x07},       {PixelFormat::i2, 0x08},
    {PixelFormat::i4, 0x09},           {PixelFormat::i8, 0x0A},       {PixelFormat::rgb565, 0x12},
    {PixelFormat::rgb565, 0x1B, true}, {PixelFormat::argb8565, 0x13}, {PixelFormat::rgb565a8, 0x14},
    {PixelFormat::rgb888, 0x0F},       {PixelFormat::argb8888, 0x10}, {PixelFormat::xrgb8888, 0x11},
    {PixelFormat::a1, 0x0B},           {PixelFormat::a2, 0x0C},       {PixelFormat::a4, 0x0D},
    {PixelFormat::a8, 0x0E},           {PixelFormat::al88, 0x15},     {PixelFormat::argb1555, 0x16},
    {PixelFormat::argb4444, 0x17},     {PixelFormat::argb2222, 0x18}, {PixelFormat::argb8888, 0x1A, false, true},
};

// The C names of the codes, for the descriptor.
std::string_view code_name(std::uint8_t code) {
  switch (code) {
    case 0x06:
      return "LV_COLOR_FORMAT_L8";
    case 0x07:
      return "LV_COLOR_FORMAT_I1";
    case 0x08:
      return "LV_COLOR_FORMAT_I2";
    case 0x09:
      return "LV_COLOR_FORMAT_I4";
    case 0x0A:
      return "LV_COLOR_FORMAT_I8";
    case 0x12:
      return "LV_COLOR_FORMAT_RGB565";
    case 0x1B:
      return "LV_COLOR_FORMAT_RGB565_SWAPPED";
    case 0x13:
      return "LV_COLOR_FORMAT_ARGB8565";
    case 0x14:
      return "LV_COLOR_FORMAT_RGB565A8";
    case 0x0F:
      return "LV_COLOR_FORMAT_RGB888";
    case 0x10:
      return "LV_COLOR_FORMAT_ARGB8888";
    case 0x0B:
      return "LV_COLOR_FORMAT_A1";
    case 0x0C:
      return "LV_COLOR_FORMAT_A2";
    case 0x0D:
      return "LV_COLOR_FORMAT_A4";
    case 0x0E:
      return "LV_COLOR_FORMAT_A8";
    case 0x15:
      return "LV_COLOR_FORMAT_AL88";
    case 0x16:
      return "LV_COLOR_FORMAT_ARGB1555";
    case 0x17:
      return "LV_COLOR_FORMAT_ARGB4444";
    case 0x18:
      return "LV_COLOR_FORMAT_ARGB2222";
    default:
      return "LV_COLOR_FORMAT_XRGB8888";
  }
}

}  // namespace

std::optional<std::uint8_t> lvgl_colour_format(PixelFormat format, ByteOrder bytes) {
  for (const FormatCode& code : codes) {
    if (code.format == format && code.swapped == (bytes == ByteOrder::high_first) && !code.premultiplied)
      return code.code;
  }
  return std::nullopt;
}

std::optional<LvglHeader> lvgl_header(const FormatSettings& settings, std::uint32_t width, std::uint32_t height,
                                      std::uint32_t align, LvglCompression compression) {
  const std::optional<std::uint8_t> code = lvgl_colour_format(settings.format, settings.word.bytes);
  const std::uint64_t stride = aligned_stride(image_layout(settings, width, height).row_bytes, align);
  if (!code || settings.word.channels != ChannelOrder::rgb || width > 0xFFFF || height > 0xFFFF || stride > 0xFFFF)
    return std::nullopt;
  LvglHeader header{};
  header[0] = lvgl_magic;
  header[1] = *code;
  store_le16(header.data() + 2,
             static_cast<std::uint16_t>((settings.premultiply ? premultiplied_flag : 0) |
                                        (compression != LvglCompression::none ? compressed_flag : 0)));
  store_le16(header.data() + 4, static_cast<std::uint16_t>(width));
  store_le16(header.data() + 6, static_cast<std::uint16_t>(height));
  store_le16(header.data() + 8, static_cast<std::uint16_t>(stride));
  return header;
}

LvglCompressionHead lvgl_compression_head(LvglCompression method, std::uint32_t compressed, std::uint32_t data) {
  LvglCompressionHead head{};
  store_le32(head.data(), static_cast<std::uint32_t>(method));
  store_le32(head.data() + 4, compressed);
  store_le32(head.data() + 8, data);
  return head;
}

unsigned lvgl_rle_block(const FormatSettings& settings) {
  if (settings.format == PixelFormat::rgb565a8) return 2;
  return (format_info(settings.format).bits_per_pixel + 7) / 8;
}

namespace {

// read_lvgl, and the pixels' length its header declares into `total`; with no `file_size`, the
// file's length is not checked.
LvglRead read_lvgl_fields(std::span<const std::uint8_t> file, std::optional<std::uint64_t> file_size,
                          std::uint64_t& total) {
  if (file.size() < lvgl_header_size || file[0] != lvgl_magic) return std::monostate{};
  // LVGL's magic and its reserved field of zeros: raw pixels start so in about one file in 16
  // million, so such a file is taken for an LVGL image whatever else its header says, and one
  // that is not read says why. Without the zeros a header that does not read is no header.
  const bool claimed = load_le16(file.data() + 10) == 0;
  const auto refused = [&](std::string reason) -> LvglRead {
    if (!claimed) return std::monostate{};
    return reason;
  };
  const auto hex = [](unsigned value, int digits) {
    static constexpr char numerals[] = "0123456789ABCDEF";
    std::string text = "0x";
    for (int k = digits - 1; k >= 0; --k) text += numerals[(value >> (4 * k)) & 0xF];
    return text;
  };
  const FormatCode* found = nullptr;
  for (const FormatCode& code : codes) {
    if (code.code == file[1]) found = &code;
  }
  if (found == nullptr)
    return refused("an LVGL image of colour format " + hex(file[1], 2) + ", which unpack does not read");
  LvglImage image;
  image.settings.format = found->format;
  image.settings.word.bytes = found->swapped ? ByteOrder::high_first : ByteOrder::low_first;
  // Other flags say the pixels are drawn from vectors, or mean something to LVGL's own runtime
  // alone: such a file is not read as the raw pixels it would seem to hold.
  const std::uint16_t flags = load_le16(file.data() + 2);
  if ((flags & ~(premultiplied_flag | compressed_flag)) != 0)
    return refused("an LVGL image with flags " + hex(flags, 4) +
                   ", which unpack does not honour (flags of LVGL's own runtime)");
  image.settings.premultiply = (flags & premultiplied_flag) != 0 || found->premultiplied;
  image.width = load_le16(file.data() + 4);
  image.height = load_le16(file.data() + 6);
  if (image.width == 0 || image.height == 0)
    return refused("an LVGL image of " + std::to_string(image.width) + " x " + std::to_string(image.height) +
                   " pixels, none to read");
  const ImageLayout layout = image_layout(image.settings, image.width, image.height);
  image.stride = load_le16(file.data() + 8);
  if (image.stride < layout.row_bytes)
    return refused("an LVGL image whose rows are " + std::to_string(image.stride) +
                   " bytes apart where its pixels take " + std::to_string(layout.row_bytes) + " a row");
  image.data_bytes = strided_layout(image.settings, image.width, image.height, image.stride).total;
  std::uint64_t declared = image.data_bytes;
  if ((flags & compressed_flag) != 0) {
    if (file.size() < lvgl_header_size + lvgl_compression_head_size)
      return refused("a compressed LVGL image cut short in its compression head");
    const std::uint8_t* head = file.data() + lvgl_header_size;
    const std::uint32_t method = load_le32(head) & 0xF;
    if (method != static_cast<std::uint32_t>(LvglCompression::rle) &&
        method != static_cast<std::uint32_t>(LvglCompression::lz4))
      return refused("an LVGL image compressed by method " + std::to_string(method) +
                     ", which unpack does not read (1 is RLE, 2 LZ4)");
    image.compression = static_cast<LvglCompression>(method);
    image.compressed_bytes = load_le32(head + 4);
    const std::uint64_t data = load_le32(head + 8);
    if (data != image.data_bytes)
      return refused("a compressed LVGL image whose data decompresses to " + std::to_string(data) +
                     " bytes, where its header's " + std::to_string(image.width) + " x " +
                     std::to_string(image.height) + " pixels take " + std::to_string(image.data_bytes));
    declared = lvgl_compression_head_size + image.compressed_bytes;
  }
  total = declared;
  if (!file_size) return image;
  const std::uint64_t held = *file_size - lvgl_header_size;
  const char* what = image.compression == LvglCompression::none ? "of pixels" : "of compressed data";
  if (held < declared)
    return refused("an LVGL image cut short: its header declares " + std::to_string(declared) + " bytes " + what +
                   ", and it holds " + std::to_string(held));
  if (held > declared)
    return refused("an LVGL image with " + std::to_string(held - declared) + " bytes after the " +
                   std::to_string(declared) + " bytes " + what + " its header declares");
  return image;
}

}  // namespace

LvglRead read_lvgl(std::span<const std::uint8_t> file, std::uint64_t file_size) {
  std::uint64_t total = 0;
  return read_lvgl_fields(file, file_size, total);
}

std::optional<std::uint64_t> lvgl_declared_length(std::span<const std::uint8_t> file) {
  std::uint64_t total = 0;
  if (!std::holds_alternative<LvglImage>(read_lvgl_fields(file, std::nullopt, total))) return std::nullopt;
  return lvgl_header_size + total;
}

std::string lvgl_damaged(const std::string& reason) { return "the compressed LVGL image is damaged: " + reason; }

std::variant<LvglStream, std::string> lvgl_stream(const LvglImage& image, std::span<const std::uint8_t> compressed) {
  if (image.data_bytes > most_decompressed(image.compression, compressed.size()))
    return lvgl_damaged("its " + std::to_string(compressed.size()) + " bytes cannot make the " +
                        std::to_string(image.data_bytes) + " its header declares");
  return LvglStream(image.compression, lvgl_rle_block(image.settings), compressed, image.data_bytes);
}

std::variant<std::vector<std::uint8_t>, std::string> lvgl_decompress(const LvglImage& image,
                                                                     std::span<const std::uint8_t> compressed) {
  std::variant<LvglStream, std::string> stream = lvgl_stream(image, compressed);
  if (std::string* refused = std::get_if<std::string>(&stream)) return std::move(*refused);
  std::vector<std::uint8_t> data(static_cast<std::size_t>(image.data_bytes));
  std::optional<std::string> failed = std::get<LvglStream>(stream).next(data);
  if (!failed) failed = std::get<LvglStream>(stream).finish();
  if (failed) return lvgl_damaged(*failed);
  return data;
}

std::optional<LvglImage> read_lvgl_header(std::span<const std::uint8_t> file, std::uint64_t file_size) {
  LvglRead read = read_lvgl(file, file_size);
  if (LvglImage* image = std::get_if<LvglImage>(&read)) return *image;
  return std::nullopt;
}

std::string lvgl_c_head(std::string_view name, std::string_view description, std::uint64_t bytes,
                        std::string_view attribute) {
  std::string text("/* ");
  text.append(c_comment_text(description))
      .append(".\n   An LVGL 9 image: ")
      .append(name)
      .append(" describes the pixels in ");
  text.append(name).append("_map. */\n\n").append(lvgl_include("lvgl.h"));
  text.append("\n#if !defined(LVGL_VERSION_MAJOR) || LVGL_VERSION_MAJOR < 9\n#error \"")
      .append(name)
      .append(" is an image for LVGL 9 or later\"\n#endif\n\n");
  // Aligned as LVGL's drawing wants its pixels, and placed where the build keeps large constants.
  text.append("static LV_ATTRIBUTE_MEM_ALIGN LV_ATTRIBUTE_LARGE_CONST const uint8_t ")
      .append(name)
      .append("_map[")
      .append(std::to_string(bytes))
      .append("]");
  if (!attribute.empty()) text.append(" ").append(attribute);
  return text.append(" = {");
}

namespace {

// A header's flags by LVGL's names for them; 0 for none.
std::string flag_names(std::uint16_t flags) {
  std::string names;
  for (const auto& [flag, name] : {std::pair{premultiplied_flag, "LV_IMAGE_FLAGS_PREMULTIPLIED"},
                                   std::pair{compressed_flag, "LV_IMAGE_FLAGS_COMPRESSED"}}) {
    if ((flags & flag) == 0) continue;
    names.append(names.empty() ? "" : " | ").append(name);
  }
  return names.empty() ? "0" : names;
}

}  // namespace

std::string lvgl_c_tail(std::string_view name, const LvglHeader& header) {
  const auto field = [&](std::size_t at) { return std::to_string(load_le16(header.data() + at)); };
  std::string text("\n};\n\nconst lv_image_dsc_t ");
  text.append(name).append(" = {\n    .header.magic = LV_IMAGE_HEADER_MAGIC,\n    .header.cf = ");
  text.append(code_name(header[1])).append(",\n    .header.flags = ").append(flag_names(load_le16(header.data() + 2)));
  text.append(",\n    .header.w = ").append(field(4)).append(",\n    .header.h = ").append(field(6));
  text.append(",\n    .header.stride = ").append(field(8)).append(",\n    .data_size = sizeof(").append(name);
  text.append("_map),\n    .data = ").append(name).append("_map,\n};\n");
  return text;
}
