// The job contract: what a job is given, what it tells while it runs, and what it gives back. Jobs
// know nothing of the front end that runs them: the dialogs turn an outcome into the status line,
// the console into a message and an exit code.
#pragma once

#include <cstdint>

#include <string>
#include <utility>
#include <vector>

#include "files/byte_stream.h"
#include "files/failure.h"
#include "files/output_file.h"

// The two paths of a job, as a dialog's fields or the command line's arguments give them.
struct JobPaths {
  std::string first;   // the input; Orvane's image
  std::string second;  // the output; Orvane's sub image
  // A stream read or written in the place of a path (the command line's `-`), which then only names
  // it. pack and unpack take them; the stream stays the caller's.
  InputStream* input = nullptr;
  OutputStream* output = nullptr;
  // Whether the output may be a symbolic link to write through: a batch, which names its outputs
  // itself, refuses one that a link left in its folder would send elsewhere.
  Links output_links = Links::follow;
};

// What a job tells before it returns: only that its conversion is done and its output is about to be
// written. A failed write then leaves "Saving" standing in a dialog.
class JobProgress {
 public:
  virtual ~JobProgress() = default;
  virtual void saving() {}
};

enum class Ending {
  done,
  cannot_open_input,
  unsupported_picture,
  // rgb565 font's input is a font, not a picture: a font it does not rasterise.
  unsupported_font,
  out_of_memory,
  cannot_open_image,
  cannot_open_sub_image,
  sub_image_too_short,
  sub_image_too_long,
  // The conversion ran, but its output could not be created or written; whatever was at the path
  // is as it was.
  not_saved,
};

// How a front end runs a conversion, apart from anything its user chose: the command line turns
// each on, the dialogs none.
struct JobSwitches {
  // Read and write pictures of every kind the programs take, not BMPs alone: pack reads PNG, JPEG,
  // GIF, TIFF, TGA and PNM too (through the project's readers or the platform's codecs), unpack
  // writes a PNG when the output's name ends in .png. The dialogs keep to BMPs.
  bool codecs = false;
  // Write the output as it is made, a band of rows at a time, with the input still open, so that a
  // picture of any size takes a few megabytes. The input and the output must then be different
  // files, and "Saving" comes before the conversion.
  bool stream = false;
  // Rows to a band when streaming; 0 for as many as fit about a megabyte.
  std::uint32_t band_rows = 0;
};

struct Outcome {
  Ending ending = Ending::done;
  // Why, in plain words, for the user: the reason for a refusal. May be empty.
  std::string reason;
  // The system's own words for the cause, where the system gave one ("No such file or directory").
  std::string cause;
  // Remarks about an input that converted all the same.
  std::vector<std::string> warnings;

  bool done() const { return ending == Ending::done; }
};

inline Outcome refusal(Ending ending, std::string reason = {}, std::string cause = {}) {
  return Outcome{ending, std::move(reason), std::move(cause), {}};
}

// A stage's refusal as the job's outcome: its kind as the ending a dialog shows, its reason, and
// the system's cause in its own words.
Outcome refusal(Failure failure);

// The words for an ending, as the dialogs' status line shows them and the console's messages repeat
// them. "Saving" stands for an output that was not saved: it is the text a dialog leaves standing.
const char* ending_text(Ending ending);

// A job as a dialog runs it: with every option at its default. Orvane reads both fields even when
// one is empty; the other programs end the job at an empty field.
enum class EmptyField { ends_job, read_on };

struct DialogJob {
  Outcome (*run)(const JobPaths& paths, JobProgress& progress) = nullptr;
  EmptyField on_empty = EmptyField::ends_job;
};

template <auto job>
Outcome with_defaults(const JobPaths& paths, JobProgress& progress) {
  return job(paths, {}, progress);
}

template <auto job>
inline constexpr DialogJob dialog_job{&with_defaults<job>, EmptyField::ends_job};
