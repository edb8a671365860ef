#include "containers/pack_container.h"

#include <algorithm>
#include <vector>

#include "containers/c_array.h"
#include "containers/lvgl_image.h"
#include "containers/row_stride.h"

namespace {

std::span<const std::uint8_t> bytes_of(const std::string& text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// A frame's layout. Tiles lie one after another as the rows of one tall picture of them stacked;
// the frames of an animation follow one another, each laid out alike.
StridedLayout layout_of(const ContainerPicture& picture) {
  const std::uint64_t rows = std::uint64_t{picture.height} * std::max<std::uint32_t>(picture.tiles, 1);
  return aligned_layout(picture.settings, picture.width, static_cast<std::uint32_t>(rows), picture.align);
}

class RawContainer : public PackContainer {
 public:
  std::optional<std::uint64_t> size(const ContainerPicture& picture) const override { return padded_bytes(picture); }
  std::string begin(const ContainerPicture& picture) override {
    padder_.emplace(layout_of(picture));
    return {};
  }
  std::span<const std::uint8_t> append(std::span<const std::uint8_t> band, std::string&) override {
    return padder_->pad(band, padded_);
  }
  std::string finish() override { return {}; }

 protected:
  std::optional<RowPadder> padder_;
  std::vector<std::uint8_t> padded_;
};

// The elements of an array, numbered across bands so that the line breaks and the last comma fall
// where they would for the array written at once.
class CArrayContainer : public RawContainer {
 public:
  explicit CArrayContainer(bool words) : words_(words) {}

  std::optional<std::uint64_t> size(const ContainerPicture&) const override { return std::nullopt; }

  std::string begin(const ContainerPicture& picture) override {
    RawContainer::begin(picture);
    total_ = padded_bytes(picture);
    written_ = 0;
    if (words_)
      return c_array_head(picture.name, picture.description, total_ / 2, picture.width, picture.height,
                          picture.settings.word.bytes == ByteOrder::high_first, picture.attribute, picture.tiles,
                          picture.delays_ms);
    return c_byte_array_head(picture.name, picture.description, total_, picture.width, picture.height,
                             picture.attribute, picture.tiles, picture.delays_ms);
  }

  std::span<const std::uint8_t> append(std::span<const std::uint8_t> band, std::string& scratch) override {
    return elements(RawContainer::append(band, scratch), scratch);
  }

  std::string finish() override { return std::string(c_array_tail()); }

 protected:
  // The text of the next padded bytes' elements, made in `scratch`.
  std::span<const std::uint8_t> elements(std::span<const std::uint8_t> bytes, std::string& scratch) {
    scratch.clear();
    if (words_) {
      append_c_array_elements(scratch, bytes, written_ / 2, total_ / 2);
    } else {
      append_c_byte_elements(scratch, bytes, written_, total_);
    }
    written_ += bytes.size();
    return bytes_of(scratch);
  }

  bool words_;
  std::uint64_t total_ = 0;
  std::uint64_t written_ = 0;
};

// Why LVGL's header cannot describe the picture: its width, height and stride are 16-bit fields,
// and a compression head's lengths 32-bit ones.
std::optional<Failure> lvgl_refusal(const ContainerPicture& picture) {
  const auto refused = [](std::string reason) { return Failure{Fault::unsupported, std::move(reason)}; };
  if (picture.width > 0xFFFF || picture.height > 0xFFFF)
    return refused(std::to_string(picture.width) + " x " + std::to_string(picture.height) +
                   " pixels: an LVGL image holds at most 65535 x 65535");
  const StridedLayout layout = layout_of(picture);
  if (layout.stride > 0xFFFF)
    return refused(std::to_string(picture.width) + " pixels a row take " + std::to_string(layout.stride) +
                   " bytes: an LVGL image's stride holds at most 65535");
  if (!lvgl_header(picture.settings, picture.width, picture.height, picture.align, picture.compression))
    return refused("LVGL has no colour format for " + std::string(format_info(picture.settings.format).name));
  // The compressed data may come out a little longer than the data, and its length is a 32-bit word.
  if (picture.compression != LvglCompression::none && layout.total + layout.total / 64 + 64 > 0xFFFFFFFFu)
    return refused(std::to_string(layout.total) + " bytes of pixels: a compressed LVGL image holds at most 4 GiB");
  return std::nullopt;
}

// The compression head and the compressed bytes of a whole image's data.
std::vector<std::uint8_t> compressed_data(const ContainerPicture& picture, std::span<const std::uint8_t> data) {
  std::vector<std::uint8_t> compressed = picture.compression == LvglCompression::rle
                                             ? rle_compress(data, lvgl_rle_block(picture.settings))
                                             : lz4_compress(data);
  const LvglCompressionHead head = lvgl_compression_head(
      picture.compression, static_cast<std::uint32_t>(compressed.size()), static_cast<std::uint32_t>(data.size()));
  compressed.insert(compressed.begin(), head.begin(), head.end());
  return compressed;
}

class LvglBinContainer : public RawContainer {
 public:
  std::optional<Failure> refusal(const ContainerPicture& picture) const override { return lvgl_refusal(picture); }
  std::optional<std::uint64_t> size(const ContainerPicture& picture) const override {
    if (picture.compression != LvglCompression::none) return std::nullopt;
    return lvgl_header_size + layout_of(picture).total;
  }
  std::string begin(const ContainerPicture& picture) override {
    RawContainer::begin(picture);
    picture_ = picture;
    data_.clear();
    const LvglHeader header =
        *lvgl_header(picture.settings, picture.width, picture.height, picture.align, picture.compression);
    return {header.begin(), header.end()};
  }
  std::span<const std::uint8_t> append(std::span<const std::uint8_t> band, std::string& scratch) override {
    const std::span<const std::uint8_t> padded = RawContainer::append(band, scratch);
    if (picture_.compression == LvglCompression::none) return padded;
    data_.insert(data_.end(), padded.begin(), padded.end());
    return {};
  }
  std::string finish() override {
    if (picture_.compression == LvglCompression::none) return {};
    const std::vector<std::uint8_t> compressed = compressed_data(picture_, data_);
    return {compressed.begin(), compressed.end()};
  }

 private:
  ContainerPicture picture_;
  std::vector<std::uint8_t> data_;
};

class LvglCContainer : public CArrayContainer {
 public:
  LvglCContainer() : CArrayContainer(false) {}

  std::optional<Failure> refusal(const ContainerPicture& picture) const override { return lvgl_refusal(picture); }

  std::string begin(const ContainerPicture& picture) override {
    CArrayContainer::begin(picture);
    picture_ = picture;
    name_ = picture.name;
    description_ = picture.description;
    attribute_ = picture.attribute;
    data_.clear();
    header_ = *lvgl_header(picture.settings, picture.width, picture.height, picture.align, picture.compression);
    // The compressed array's length is known only at the end, where its text is made whole.
    if (picture.compression != LvglCompression::none) return {};
    return lvgl_c_head(name_, description_, total_, attribute_);
  }

  std::span<const std::uint8_t> append(std::span<const std::uint8_t> band, std::string& scratch) override {
    const std::span<const std::uint8_t> padded = RawContainer::append(band, scratch);
    if (picture_.compression == LvglCompression::none) return elements(padded, scratch);
    data_.insert(data_.end(), padded.begin(), padded.end());
    return {};
  }

  std::string finish() override {
    if (picture_.compression == LvglCompression::none) return lvgl_c_tail(name_, header_);
    const std::vector<std::uint8_t> compressed = compressed_data(picture_, data_);
    data_ = {};
    total_ = compressed.size();
    written_ = 0;
    std::string text = lvgl_c_head(name_, description_, total_, attribute_);
    std::string scratch;
    const std::span<const std::uint8_t> made = elements(compressed, scratch);
    text.append(reinterpret_cast<const char*>(made.data()), made.size());
    return text + lvgl_c_tail(name_, header_);
  }

 private:
  ContainerPicture picture_;
  std::string name_, description_, attribute_;
  LvglHeader header_{};
  std::vector<std::uint8_t> data_;
};

}  // namespace

std::uint64_t padded_bytes(const ContainerPicture& picture) { return layout_of(picture).total * picture.frames; }

std::optional<Failure> PackContainer::refusal(const ContainerPicture&) const { return std::nullopt; }

std::unique_ptr<PackContainer> make_container(ContainerKind kind) {
  switch (kind) {
    case ContainerKind::raw:
      return std::make_unique<RawContainer>();
    case ContainerKind::c_words:
      return std::make_unique<CArrayContainer>(true);
    case ContainerKind::c_bytes:
      return std::make_unique<CArrayContainer>(false);
    case ContainerKind::lvgl_bin:
      return std::make_unique<LvglBinContainer>();
    case ContainerKind::lvgl_c:
      return std::make_unique<LvglCContainer>();
  }
  return std::make_unique<RawContainer>();
}

std::string_view container_extension(ContainerKind kind) {
  switch (kind) {
    case ContainerKind::raw:
      return ".bin";
    case ContainerKind::lvgl_c:
      return ".c";
    case ContainerKind::lvgl_bin:
      return ".bin";
    case ContainerKind::c_words:
    case ContainerKind::c_bytes:
      break;
  }
  return ".h";
}

bool is_c_source(ContainerKind kind) {
  return kind == ContainerKind::c_words || kind == ContainerKind::c_bytes || kind == ContainerKind::lvgl_c;
}

std::optional<std::string> container_refuses_format(ContainerKind kind, const FormatSettings& settings) {
  const FormatInfo& info = format_info(settings.format);
  const std::string format = "--format " + std::string(info.name);
  switch (kind) {
    case ContainerKind::raw:
    case ContainerKind::c_bytes:
      return std::nullopt;
    case ContainerKind::c_words:
      if (settings.format == PixelFormat::rgb565) return std::nullopt;
      return "--c-type words is for rgb565; " + format + " is written as bytes";
    case ContainerKind::lvgl_bin:
    case ContainerKind::lvgl_c:
      break;
  }
  if (!lvgl_colour_format(settings.format, settings.word.bytes)) {
    // A format LVGL has in the other byte order is named with the order that it lacks.
    const bool other_order =
        lvgl_colour_format(settings.format,
                           settings.word.bytes == ByteOrder::low_first ? ByteOrder::high_first : ByteOrder::low_first)
            .has_value();
    if (other_order) return "--lvgl does not take " + format + " with --bytes be: LVGL stores it low byte first";
    return "--lvgl does not take " + format + ": LVGL has no colour format for it";
  }
  if (settings.word.channels != ChannelOrder::rgb) return "--lvgl takes red in the high bits, not --channels bgr";
  return std::nullopt;
}
