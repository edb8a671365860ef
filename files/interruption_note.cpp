#include "files/interruption_note.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::size_t room = 1024;

struct Text {
  char bytes[room]{};
  std::size_t length = 0;

  void set(std::string_view text) {
    length = std::min(text.size(), room);
    std::memcpy(bytes, text.data(), length);
  }
};

constinit Text program;
constinit Text before_count;
constinit Text after_count;
// Set once the texts are in place, cleared before they change: the handler reads them only while set.
constinit std::atomic<const std::atomic<std::uint64_t>*> counted{nullptr};

}  // namespace

void name_program_on_interruption(std::string_view name) { program.set(name); }

InterruptionNote::InterruptionNote(std::string_view before, const std::atomic<std::uint64_t>& done,
                                   std::string_view after) {
  before_count.set(before);
  after_count.set(after);
  counted.store(&done, std::memory_order_release);
}

InterruptionNote::~InterruptionNote() { counted.store(nullptr, std::memory_order_release); }

void write_interruption_note(void (*write)(const char* text, std::size_t length)) {
  const std::atomic<std::uint64_t>* done = counted.load(std::memory_order_acquire);
  if (done == nullptr) return;
  if (program.length != 0) {
    write(program.bytes, program.length);
    write(": ", 2);
  }
  write(before_count.bytes, before_count.length);
  char digits[20];
  std::size_t count = 0;
  for (std::uint64_t value = done->load(); count == 0 || value != 0; value /= 10)
    digits[sizeof digits - ++count] = static_cast<char>('0' + value % 10);
  write(digits + sizeof digits - count, count);
  write(after_count.bytes, after_count.length);
}
