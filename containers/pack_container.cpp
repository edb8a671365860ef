#include "containers/pack_container.h"

#include "containers/c_array.h"
#include "containers/lvgl_image.h"

namespace {

std::span<const std::uint8_t> bytes_of(const std::string& text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

class RawContainer : public PackContainer {
 public:
  std::optional<std::uint64_t> size(const ContainerPicture& picture) const override { return picture.bytes; }
  std::string begin(const ContainerPicture&) override { return {}; }
  std::span<const std::uint8_t> append(std::span<const std::uint8_t> band, std::string&) override { return band; }
  std::string finish() override { return {}; }
};

// The elements of an array, numbered across bands so that the line breaks and the last comma fall
// where they would for the array written at once.
class CArrayContainer : public PackContainer {
 public:
  explicit CArrayContainer(bool words) : words_(words) {}

  std::optional<std::uint64_t> size(const ContainerPicture&) const override { return std::nullopt; }

  std::string begin(const ContainerPicture& picture) override {
    total_ = picture.bytes;
    written_ = 0;
    if (words_)
      return c_array_head(picture.name, picture.description, picture.bytes / 2, picture.width, picture.height,
                          picture.settings.word.bytes == ByteOrder::high_first, picture.attribute, picture.delays_ms);
    return c_byte_array_head(picture.name, picture.description, picture.bytes, picture.width, picture.height,
                             picture.attribute, picture.delays_ms);
  }

  std::span<const std::uint8_t> append(std::span<const std::uint8_t> band, std::string& scratch) override {
    scratch.clear();
    if (words_) {
      append_c_array_elements(scratch, band, written_ / 2, total_ / 2);
    } else {
      append_c_byte_elements(scratch, band, written_, total_);
    }
    written_ += band.size();
    return bytes_of(scratch);
  }

  std::string finish() override { return std::string(c_array_tail()); }

 protected:
  bool words_;
  std::uint64_t total_ = 0;
  std::uint64_t written_ = 0;
};

// Why LVGL's header cannot describe the picture: its width, height and stride are 16-bit fields.
std::optional<std::string> lvgl_refusal(const ContainerPicture& picture) {
  if (picture.width > 0xFFFF || picture.height > 0xFFFF)
    return std::to_string(picture.width) + " x " + std::to_string(picture.height) +
           " pixels: an LVGL image holds at most 65535 x 65535";
  const std::uint64_t stride = image_layout(picture.settings, picture.width, picture.height).row_bytes;
  if (stride > 0xFFFF)
    return std::to_string(picture.width) + " pixels a row take " + std::to_string(stride) +
           " bytes: an LVGL image's stride holds at most 65535";
  if (!lvgl_header(picture.settings, picture.width, picture.height))
    return "LVGL has no colour format for " + std::string(format_info(picture.settings.format).name);
  return std::nullopt;
}

class LvglBinContainer : public RawContainer {
 public:
  std::optional<std::string> refusal(const ContainerPicture& picture) const override { return lvgl_refusal(picture); }
  std::optional<std::uint64_t> size(const ContainerPicture& picture) const override {
    return lvgl_header_size + picture.bytes;
  }
  std::string begin(const ContainerPicture& picture) override {
    const LvglHeader header = *lvgl_header(picture.settings, picture.width, picture.height);
    return {header.begin(), header.end()};
  }
};

class LvglCContainer : public CArrayContainer {
 public:
  LvglCContainer() : CArrayContainer(false) {}

  std::optional<std::string> refusal(const ContainerPicture& picture) const override { return lvgl_refusal(picture); }

  std::string begin(const ContainerPicture& picture) override {
    CArrayContainer::begin(picture);
    name_ = picture.name;
    header_ = *lvgl_header(picture.settings, picture.width, picture.height);
    return lvgl_c_head(picture.name, picture.description, picture.bytes, picture.attribute);
  }

  std::string finish() override { return lvgl_c_tail(name_, header_); }

 private:
  std::string name_;
  LvglHeader header_{};
};

}  // namespace

std::optional<std::string> PackContainer::refusal(const ContainerPicture&) const { return std::nullopt; }

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
    return "--lvgl does not take " + format + (other_order ? std::string(" with --bytes be") : std::string());
  }
  if (settings.word.channels != ChannelOrder::rgb) return "--lvgl takes red in the high bits, not --channels bgr";
  return std::nullopt;
}
