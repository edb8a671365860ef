// What an interruption says before the process ends, for a job that changes a file in place and
// cannot put it back: how much of it is changed, so that the user knows what the file now holds.
// The interruption handlers (live_outputs.h) write it on standard error after removing the new
// files; it is kept in fixed buffers that a signal handler reads without a lock or an allocation.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string_view>

// Names the program before the note: "rgb565: ...".
void name_program_on_interruption(std::string_view name);

// While one lives, an interruption says `before`, the count `done` holds then, and `after` (each cut
// to 1 KiB). One at a time, not nested.
class InterruptionNote {
 public:
  InterruptionNote(std::string_view before, const std::atomic<std::uint64_t>& done, std::string_view after);
  ~InterruptionNote();
  InterruptionNote(const InterruptionNote&) = delete;
  InterruptionNote& operator=(const InterruptionNote&) = delete;
};

// For the handlers: the note, when one lives, written through `write` in pieces; only what a signal
// handler may do.
void write_interruption_note(void (*write)(const char* text, std::size_t length));
