// What an interruption says of a file changed in place: the program, the words, and the count as
// it stands when the handler writes the note; nothing once the note is gone.
#include "files/interruption_note.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string written;

std::string note_now() {
  written.clear();
  write_interruption_note([](const char* text, std::size_t length) { written.append(text, length); });
  return written;
}

TEST(InterruptionNote, SaysTheCountAsItStands) {
  name_program_on_interruption("rgb565");
  std::atomic<std::uint64_t> done{0};
  EXPECT_EQ(note_now(), "");
  {
    const InterruptionNote note("in.bin: its first ", done, " of 12345678901 bytes are changed\n");
    EXPECT_EQ(note_now(), "rgb565: in.bin: its first 0 of 12345678901 bytes are changed\n");
    done = 18446744073709551615u;
    EXPECT_EQ(note_now(), "rgb565: in.bin: its first 18446744073709551615 of 12345678901 bytes are changed\n");
    done = 1048576;
    EXPECT_EQ(note_now(), "rgb565: in.bin: its first 1048576 of 12345678901 bytes are changed\n");
  }
  EXPECT_EQ(note_now(), "");
  // Words past the room are cut, not written past it.
  const InterruptionNote note(std::string(5000, 'x'), done, "");
  EXPECT_EQ(note_now(), "rgb565: " + std::string(1024, 'x') + "1048576");
}

}  // namespace
