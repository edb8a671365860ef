// The one shape in which a stage refuses its input: what kind of refusal it is, why in plain words
// for the user, and the system's cause where the system gave one (a window of the file that could
// not be mapped). Every stage (reading, decoding, transforming) returns it, so that a refusal reads
// the same whichever path met it; the job turns it into its outcome in one place (job/job.h).
#pragma once

#include <optional>
#include <string>

#include "files/system_error.h"

enum class Fault {
  // Missing, unreadable, a folder, not a picture that is read, or cut short.
  cannot_open,
  // A picture, but not one that converts (a depth, compression or size not taken).
  unsupported,
  // A picture that converts, but its pixels or the work on them find no memory.
  out_of_memory,
};

struct Failure {
  Fault fault = Fault::cannot_open;
  std::string reason;
  std::optional<SystemError> error = std::nullopt;
};
