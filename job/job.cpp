#include "job/job.h"

const char* ending_text(Ending ending) {
  switch (ending) {
    case Ending::done:
      return "Done";
    case Ending::cannot_open_input:
      return "Cannot open input";
    case Ending::unsupported_picture:
      return "Unsupported picture";
    case Ending::unsupported_font:
      return "Unsupported font";
    case Ending::out_of_memory:
      return "Out of memory";
    case Ending::cannot_open_image:
      return "Cannot open image";
    case Ending::cannot_open_sub_image:
      return "Cannot open sub image";
    case Ending::sub_image_too_short:
      return "Sub image too short";
    case Ending::sub_image_too_long:
      return "Sub image too long";
    case Ending::not_saved:
      break;
  }
  return "Saving";
}

Outcome refusal(Failure failure) {
  const Ending ending = failure.fault == Fault::unsupported     ? Ending::unsupported_picture
                        : failure.fault == Fault::out_of_memory ? Ending::out_of_memory
                                                                : Ending::cannot_open_input;
  return refusal(ending, std::move(failure.reason), failure.error ? describe(*failure.error) : std::string());
}
