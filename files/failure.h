// The one shape in which a stage refuses its input: what kind of refusal it is, why in plain words
// for the user, and the system's cause where the system gave one (a window of the file that could
// not be mapped). Every stage (reading, decoding, transforming) returns it, so that a refusal reads
// the same whichever path met it; the job turns it into its outcome in one place (job/job.h).
#pragma once

#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>

#include "files/system_error.h"

enum class Fault {
  // Missing, unreadable, a folder, not a picture that is read, or cut short.
  cannot_open,
  // A picture, but not one that converts (a depth, compression or size not taken).
  unsupported,
  // A picture that converts, but its pixels or the work on them find no memory.
  out_of_memory,
  // Not of the kind this reader reads: another reader's to try. Where none takes it, the file is
  // refused as one that cannot be opened.
  not_recognised,
};

struct Failure {
  Fault fault = Fault::cannot_open;
  std::string reason;
  std::optional<SystemError> error = std::nullopt;
};

// Runs `work`, whose allocations may find no memory, and gives what it gives (nothing, or a failure of
// its own); when memory runs out, or a size passes what a container can hold, the out-of-memory
// failure that says what did not fit (`reason`, e.g. "the PNG's rows do not fit in memory"). A stage
// that allocates says so through this, in its own words, rather than catching the allocator's
// exceptions itself.
template <typename Work>
std::optional<Failure> within_memory(std::string_view reason, Work&& work) {
  try {
    if constexpr (std::is_void_v<std::invoke_result_t<Work&>>) {
      work();
      return std::nullopt;
    } else {
      return work();
    }
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  return Failure{Fault::out_of_memory, std::string(reason)};
}
