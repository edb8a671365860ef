// Orvane's Generate job, and rgb565 subtract: the second file subtracted from the first, 32-bit
// word by word, in place.
#pragma once

#include <string>

#include "job/job.h"

struct SubtractOptions {
  // The difference written to this new file, the image left as it is; empty for in place.
  std::string output;
  // Refuse a sub image longer than the image, which the command line takes for swapped arguments;
  // Orvane's dialog uses the first length bytes of it.
  bool refuse_longer_sub = false;
};

Outcome subtract(const JobPaths& paths, const SubtractOptions& options, JobProgress& progress);

// Orvane reads both fields even when one is empty: an empty path then fails to open.
inline constexpr DialogJob subtract_dialog_job{&with_defaults<subtract>, EmptyField::read_on};
