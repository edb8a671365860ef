// The containers that pack writes a picture's bytes into: each is begun with what it says of the
// picture, takes the format's bytes a band at a time in order, and is finished. A conversion walks
// the same bands whatever its container, so the container is the one place that decides what goes
// around and between them:
//
// - raw: the format's bytes alone, each row padded to a multiple of `align` bytes (row_stride.h).
// - C words: a C header declaring `static const uint16_t NAME[]`, RGB565's words (c_array.h).
// - C bytes: the same with `static const uint8_t NAME[]`, one element a byte of the output.
// - LVGL .bin: LVGL 9's 12-byte header (lvgl_image.h), then the bytes; compressed, the header,
//   the compression head and the compressed bytes (lvgl_compress.h).
// - LVGL C: C source declaring the bytes and an lv_image_dsc_t that points at them.
//
// Every container pads the rows alike, so that a C array or an LVGL image holds the raw image's
// bytes. A compressed LVGL image is held whole until its last band, and written at its finish.
// The containers have no state that outlives one picture; which of them take which formats is
// asked of them here too, so that the command line refuses a pairing before anything is read.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "containers/lvgl_compress.h"
#include "files/failure.h"
#include "format/pixel_format.h"

enum class ContainerKind { raw, c_words, c_bytes, lvgl_bin, lvgl_c };

// What a container says of the picture it holds.
struct ContainerPicture {
  std::string_view name;         // the C array's name
  std::string_view description;  // the C source's opening comment: which picture, its size and layout
  std::string_view attribute;    // text after a C array's name (PROGMEM, a section)
  FormatSettings settings;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint32_t align = 1;                              // each row padded to a multiple of this many bytes
  LvglCompression compression = LvglCompression::none;  // of an LVGL image's data
  // The count of tiles of width x height that the bytes hold one after another; 0 for one picture.
  std::uint32_t tiles = 0;
  // The frames of an animation, each laid out alike, one after another; and each one's delay in
  // milliseconds when the animation's timing is to be declared (C source names their count too).
  std::uint32_t frames = 1;
  std::span<const std::uint32_t> delays_ms = {};
};

// The bytes of the picture's raw image, every frame and tile with their padding: what every container
// holds of pixels, before compression.
std::uint64_t padded_bytes(const ContainerPicture& picture);

class PackContainer {
 public:
  virtual ~PackContainer() = default;

  // Why this container cannot hold the picture (an LVGL header's fields are 16 bits), as an
  // unsupported picture; nullopt when it can. Asked before anything is written.
  virtual std::optional<Failure> refusal(const ContainerPicture& picture) const;
  // The length of the whole output when it is known before the bytes are made; C text is not.
  virtual std::optional<std::uint64_t> size(const ContainerPicture& picture) const = 0;
  // What goes before the format's bytes.
  virtual std::string begin(const ContainerPicture& picture) = 0;
  // The next band of the format's bytes as the container writes them: the band itself, or its text
  // made in `scratch`. Valid until the next call.
  virtual std::span<const std::uint8_t> append(std::span<const std::uint8_t> band, std::string& scratch) = 0;
  // What goes after the last band.
  virtual std::string finish() = 0;
};

std::unique_ptr<PackContainer> make_container(ContainerKind kind);

// The file name extension of a container's output, for outputs named after their inputs: an LVGL
// image's C source defines its descriptor, so it is a .c file, not a header.
std::string_view container_extension(ContainerKind kind);

// True for the containers written as C source.
bool is_c_source(ContainerKind kind);

// Why `kind` does not take a picture of the format `settings` chooses, in the command line's words
// ("--c-type words is for rgb565; --format gray8 is written as bytes"); nullopt when it does.
std::optional<std::string> container_refuses_format(ContainerKind kind, const FormatSettings& settings);
