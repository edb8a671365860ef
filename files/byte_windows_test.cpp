#include "files/byte_windows.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <variant>

#include "testing/test_files.h"

namespace {

// The bytes 0, 1, 2, ... of a file `size` long.
Bytes counting(std::size_t size) {
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i);
  return bytes;
}

struct Piece {
  const char* name;
  std::uint64_t offset;
  std::size_t length;
  bool inside;
};

class BytePiece : public ::testing::TestWithParam<Piece> {};

// A file of 40 bytes, through a span and through windows of 16 bytes: pieces inside the file come
// out as its bytes, across windows or not, in any order; a piece that runs past the end is refused
// as such, whatever the windows.
TEST_P(BytePiece, IsTheFilesBytesOrRefusedPastItsEnd) {
  const Piece& piece = GetParam();
  const Bytes file = counting(40);
  TempDir dir;
  write_file(dir.file("in"), file);
  std::variant<FileView, SystemError> view = FileView::open(dir.file("in").c_str(), ViewKind::read_only, 16);
  ASSERT_TRUE(std::holds_alternative<FileView>(view));
  SpanByteWindows span(file);
  ViewByteWindows windows(std::get<FileView>(view), 16);
  // A piece far from the last one read first, so that the windows must move back or on for it.
  Bytes warm(4);
  ASSERT_EQ(windows.copy(piece.offset < 20 ? 36 : 0, warm), std::nullopt);

  for (ByteWindows* bytes : {static_cast<ByteWindows*>(&span), static_cast<ByteWindows*>(&windows)}) {
    EXPECT_EQ(bytes->size(), 40u);
    Bytes into(piece.length, 0xEE);
    const std::optional<Failure> failed = bytes->copy(piece.offset, into);
    if (piece.inside) {
      ASSERT_EQ(failed, std::nullopt) << failed->reason;
      for (std::size_t i = 0; i < piece.length; ++i) EXPECT_EQ(into[i], piece.offset + i) << i;
    } else {
      ASSERT_TRUE(failed.has_value());
      EXPECT_EQ(failed->reason, "the file is cut short");
      EXPECT_FALSE(failed->error.has_value());
    }
  }
}

INSTANTIATE_TEST_SUITE_P(OfAFileOf40Bytes, BytePiece,
                         ::testing::Values(Piece{"TheStart", 0, 8, true}, Piece{"AcrossTwoWindows", 12, 8, true},
                                           Piece{"LongerThanAWindow", 3, 30, true}, Piece{"TheLastByte", 39, 1, true},
                                           Piece{"TheWholeFile", 0, 40, true}, Piece{"NothingAtTheEnd", 40, 0, true},
                                           Piece{"OneBytePastTheEnd", 33, 8, false},
                                           Piece{"StartingPastTheEnd", 41, 1, false},
                                           Piece{"FarPastTheEnd", std::uint64_t{1} << 40, 4, false}),
                         [](const ::testing::TestParamInfo<Piece>& piece) { return std::string(piece.param.name); });

}  // namespace
