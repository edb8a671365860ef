// An outcome in the words its user reads: the status a dialog shows ("Saving" for an output that was
// not saved), then the reason and the system's cause, each after ": " when there is one. A job's test
// compares it with the refusal it expects written out whole.
#pragma once

#include <string>

#include "job/job.h"

inline std::string outcome_text(const Outcome& outcome) {
  std::string text = ending_text(outcome.ending);
  if (!outcome.reason.empty()) text += ": " + outcome.reason;
  if (!outcome.cause.empty()) text += ": " + outcome.cause;
  return text;
}
