#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "jobs/subtract.h"
#include "testing/scripted_frame.h"
#include "testing/test_files.h"

namespace {

struct WordCase {
  const char* name;
  Bytes image;
  Bytes sub;
  Bytes difference;
};

class SubtractWords : public testing::TestWithParam<WordCase> {};

TEST_P(SubtractWords, LeavesTheDifferenceInTheImageAndTheSubImageAsItWas) {
  TempDir dir;
  write_file(dir.file("image"), GetParam().image);
  write_file(dir.file("sub"), GetParam().sub);
  ScriptedFrame frame(dir.file("image"), dir.file("sub"));
  frame.run(subtract_dialog_job);
  EXPECT_EQ(frame.statuses(), std::vector<std::string>{"Done"});
  EXPECT_EQ(read_file(dir.file("image")), GetParam().difference);
  EXPECT_EQ(read_file(dir.file("sub")), GetParam().sub);
}

// Files longer than the window the job walks them in: every window's words subtracted, and the last
// 3 bytes, which make no word, left as they were; in place and into a new file alike.
TEST(Subtract, WalksFilesLongerThanItsWindow) {
  TempDir dir;
  const std::size_t size = (std::size_t{9} << 20) + 3;
  Bytes expected(size, 0x10);
  std::fill(expected.end() - 3, expected.end(), 0x11);
  write_file(dir.file("image"), Bytes(size, 0x11));
  write_file(dir.file("sub"), Bytes(size, 0x01));
  JobProgress quiet;
  EXPECT_TRUE(subtract({dir.file("image"), dir.file("sub")}, {.output = dir.file("diff")}, quiet).done());
  EXPECT_TRUE(read_file(dir.file("diff")) == expected);
  EXPECT_TRUE(subtract({dir.file("image"), dir.file("sub")}, {}, quiet).done());
  EXPECT_TRUE(read_file(dir.file("image")) == expected);
}

// 104 bytes: a whole number of words, so every byte of the copy takes part.
Bytes bmp_file() { return make_bmp({.width = 5, .height = 3, .gap = 2}, pattern_pixel); }

INSTANTIATE_TEST_SUITE_P(
    Cases, SubtractWords,
    testing::Values(
        WordCase{"ACopyOfItselfHeaderIncluded", bmp_file(), bmp_file(), Bytes(bmp_file().size(), 0)},
        WordCase{"ZeroMinusOne", {0, 0, 0, 0}, {1, 0, 0, 0}, {0xFF, 0xFF, 0xFF, 0xFF}},
        WordCase{"BorrowStaysInsideAWord",
                 {0, 0, 0, 0, 5, 0, 0, 0},
                 {1, 0, 0, 0, 0, 0, 0, 0},
                 {0xFF, 0xFF, 0xFF, 0xFF, 5, 0, 0, 0}},
        WordCase{"BorrowRunsFromByteToByte", {0, 1, 0, 0}, {1, 0, 0, 0}, {0xFF, 0, 0, 0}},
        WordCase{"BorrowOutOfTheTopByteIsDropped",
                 {0, 0, 0, 0, 0, 0, 0, 0},
                 {0, 0, 0, 1, 0, 0, 0, 0},
                 {0, 0, 0, 0xFF, 0, 0, 0, 0}},
        // 0x12345678 - 0x87654321 = 0x8ACF1357 modulo 2^32, little-endian.
        WordCase{"LittleEndianWords", {0x78, 0x56, 0x34, 0x12}, {0x21, 0x43, 0x65, 0x87}, {0x57, 0x13, 0xCF, 0x8A}},
        WordCase{"OnlyTheImageLengthOfALongerSubImage", {9, 9, 9, 9}, {1, 2, 3, 4, 5, 6, 7, 8}, {8, 7, 6, 5}},
        WordCase{"OneTrailingByteStays", {9, 9, 9, 9, 9}, {1, 1, 1, 1, 1}, {8, 8, 8, 8, 9}},
        WordCase{"TwoTrailingBytesStay", {9, 9, 9, 9, 9, 9}, {1, 1, 1, 1, 1, 1}, {8, 8, 8, 8, 9, 9}},
        WordCase{"ThreeTrailingBytesStay", {9, 9, 9, 9, 9, 9, 9}, {1, 1, 1, 1, 1, 1, 1}, {8, 8, 8, 8, 9, 9, 9}},
        WordCase{"NoWholeWord", {9, 9, 9}, {1, 1, 1}, {9, 9, 9}}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

const Bytes image_bytes{10, 20, 30, 40, 50, 60, 70, 80};
const Bytes sub_bytes{1, 2, 3, 4, 5, 6, 7, 8};

struct RefusalCase {
  const char* name;
  const char* first;  // "image" and "sub" name the two good files
  const char* second;
  const char* status;
};

class SubtractRefusal : public testing::TestWithParam<RefusalCase> {};

TEST_P(SubtractRefusal, LeavesBothFilesByteIdentical) {
  TempDir dir;
  write_file(dir.file("image"), image_bytes);
  write_file(dir.file("sub"), sub_bytes);
  write_file(dir.file("empty"), {});
  write_file(dir.file("short"), {1, 2, 3, 4, 5, 6, 7});
  std::filesystem::create_directory(dir.file("folder"));
  std::filesystem::create_hard_link(dir.file("image"), dir.file("image-link"));
  auto field = [&](std::string name) { return dir.file(name); };
  ScriptedFrame frame(field(GetParam().first), field(GetParam().second));
  frame.run(subtract_dialog_job);
  EXPECT_EQ(frame.statuses(), std::vector<std::string>{GetParam().status});
  EXPECT_EQ(read_file(dir.file("image")), image_bytes);
  EXPECT_EQ(read_file(dir.file("sub")), sub_bytes);
  EXPECT_EQ(read_file(dir.file("short")), (Bytes{1, 2, 3, 4, 5, 6, 7}));
}

INSTANTIATE_TEST_SUITE_P(Cases, SubtractRefusal,
                         testing::Values(RefusalCase{"MissingImage", "missing", "sub", "Cannot open image"},
                                         RefusalCase{"ImageIsAFolder", "folder", "sub", "Cannot open image"},
                                         RefusalCase{"EmptyImage", "empty", "sub", "Cannot open image"},
                                         RefusalCase{"MissingSubImage", "image", "missing", "Cannot open sub image"},
                                         RefusalCase{"SubImageIsAFolder", "image", "folder", "Cannot open sub image"},
                                         RefusalCase{"EmptySubImage", "image", "empty", "Cannot open sub image"},
                                         RefusalCase{"SamePathTwice", "image", "image", "Cannot open sub image"},
                                         RefusalCase{"SameFileUnderTwoNames", "image", "image-link",
                                                     "Cannot open sub image"},
                                         RefusalCase{"SubImageOneByteShort", "image", "short", "Sub image too short"}),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

// True when the file can be opened for writing in spite of its read-only mark, as it can for root
// (natively and under Wine).
bool writable_anyway(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "r+b");
  if (file == nullptr) return false;
  std::fclose(file);
  return true;
}

TEST(SubtractInPlace, AReadOnlyImageCannotBeOpened) {
  TempDir dir;
  write_file(dir.file("image"), image_bytes);
  write_file(dir.file("sub"), sub_bytes);
  std::filesystem::permissions(
      dir.file("image"),
      std::filesystem::perms::owner_write | std::filesystem::perms::group_write | std::filesystem::perms::others_write,
      std::filesystem::perm_options::remove);
  if (writable_anyway(dir.file("image"))) GTEST_SKIP() << "this user may write read-only files (root)";
  ScriptedFrame frame(dir.file("image"), dir.file("sub"));
  frame.run(subtract_dialog_job);
  EXPECT_EQ(frame.status(), "Cannot open image");
  EXPECT_EQ(read_file(dir.file("image")), image_bytes);
}

}  // namespace
