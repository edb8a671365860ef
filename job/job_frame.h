// What a Generate job sees of the tool dialog: the two path fields and the status line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "format/dither.h"
#include "pixels/pixels.h"
#include "format/word_format.h"

enum class Field { first, second };

enum class FieldRead {
  filled,
  empty,
  // More than path_buffer_size - 1 characters: cutting the text would name another file.
  too_long,
};

// Each path buffer holds at most 255 characters and the terminating NUL.
inline constexpr std::size_t path_buffer_size = 256;

// Status line texts. Every program uses the same text for the same outcome.
namespace status {
inline constexpr char ready[] = "Ready";
inline constexpr char saving[] = "Saving";
inline constexpr char done[] = "Done";
inline constexpr char path_too_long[] = "Path too long";
inline constexpr char cannot_open_input[] = "Cannot open input";
inline constexpr char unsupported_picture[] = "Unsupported picture";
inline constexpr char out_of_memory[] = "Out of memory";
inline constexpr char cannot_open_image[] = "Cannot open image";
inline constexpr char cannot_open_sub_image[] = "Cannot open sub image";
inline constexpr char sub_image_too_short[] = "Sub image too short";
}  // namespace status

// What the command line adds to a job, as one value; every default is the dialogs' behaviour, so a
// job run from a dialog never sees anything else.
struct JobOptions {
  // Packing and unpacking: the word layout, and with top_down the picture's top row first in the
  // raw image instead of the stored order.
  WordFormat format;
  bool top_down = false;
  // Packing: how each pixel's levels are chosen; dithering takes the place of --round nearest.
  Dither dither = Dither::none;
  // The platform's image codecs: packing reads PNG, JPEG and GIF pictures besides BMPs, their
  // transparent pixels over `background`, and unpacking writes a PNG for an output named *.png.
  // The dialogs keep to BMPs.
  bool codecs = false;
  BgrTriple background{0, 0, 0};
  // Unpacking: the frame's size in pixels; 0 x 0 is Talvose's 568 x 130.
  std::uint32_t frame_width = 0;
  std::uint32_t frame_height = 0;
  // Packing: a C header declaring the words as an array of this name, instead of raw bytes.
  std::string c_array;
  // Subtracting: the difference written to this new file, the image left as it is.
  std::string output;
};

class JobFrame {
 public:
  virtual ~JobFrame() = default;

  // The job's options; the dialogs keep the defaults.
  virtual const JobOptions& options() const {
    static const JobOptions defaults;
    return defaults;
  }
  // A remark in plain words for the user beside the status: the reason for a refusal, or a warning
  // about an input that converts all the same. The dialogs have no place for it.
  virtual void remark(const std::string& text) { static_cast<void>(text); }

  // Reads field 102 (first) or 104 (second) into its path buffer. A text that does not fit is
  // reported and leaves the buffer as it was.
  virtual FieldRead read_field(Field field) = 0;
  // The path buffer of a field, as the last read or browse left it.
  virtual const char* path(Field field) const = 0;
  virtual void set_status(const char* text) = 0;
};

using GenerateJob = void (*)(JobFrame&);

enum class OnEmptyField { stop, go_on };

// Reads the first field and then the second. False when the job must end here: a field too long
// (the status says so) or, with OnEmptyField::stop, an empty field (the status is left alone and,
// for an empty first field, the second is not read).
bool read_paths(JobFrame& frame, OnEmptyField on_empty);
