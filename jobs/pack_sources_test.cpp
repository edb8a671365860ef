// The rows a BMP's band source gives, in whatever order a walk asks for them: a 24-bit picture's next
// band is read ahead through a second view of its file (on a machine of two cores or more), and a
// walk that goes another way than the one read ahead must still get the rows it asks for. And a
// pack opens its input once, whatever its kind, laid upright or transformed.
#include "jobs/pack_sources.h"

#include <gtest/gtest.h>

#include <ostream>
#include <utility>
#include <vector>

#include "files/view_access.h"
#include "jobs/pack.h"
#include "testing/test_files.h"

namespace {

struct AskedRows {
  const char* name;
  bool reverse;
  // (first stored row, count) in the order asked, of a picture of 7 rows in bands of 2.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> asked;
};

const AskedRows asked_cases[] = {
    {"BandsInStoredOrderTwice", false, {{0, 2}, {2, 2}, {4, 2}, {6, 1}, {0, 2}, {2, 2}, {4, 2}, {6, 1}}},
    {"BandsFromTheFilesEnd", true, {{5, 2}, {3, 2}, {1, 2}, {0, 1}}},
    {"BandsBackwards", false, {{6, 1}, {4, 2}, {2, 2}, {0, 2}}},
    {"BandsFromTheFilesEndBackwards", true, {{0, 1}, {1, 2}, {3, 2}, {5, 2}}},
    {"SingleRowsBetweenBands", false, {{0, 2}, {4, 1}, {0, 1}, {0, 2}, {2, 2}, {6, 1}}},
    {"OneBandTwiceThenTheNext", false, {{2, 2}, {2, 2}, {4, 2}}},
};

void PrintTo(const AskedRows& c, std::ostream* out) { *out << c.name; }

class BandsSourceRows : public testing::TestWithParam<AskedRows> {};

TEST_P(BandsSourceRows, AreTheRowsAskedFor) {
  const AskedRows& c = GetParam();
  TempDir dir;
  // Stored row y holds the triples (y, 0, 7) and (y, 1, 7), then two bytes of padding, 0xEE.
  write_file(dir.file("in.bmp"), make_bmp({.width = 2, .height = 7}, [](std::int32_t x, std::int32_t y) {
               return BgrTriple{static_cast<std::uint8_t>(y), static_cast<std::uint8_t>(x), 7};
             }));
  PackOptions options;
  options.switches.stream = true;
  std::variant<std::unique_ptr<PackSource>, Outcome> opened = open_pack_source(dir.file("in.bmp"), options);
  ASSERT_TRUE(std::holds_alternative<std::unique_ptr<PackSource>>(opened));
  PackSource& source = *std::get<std::unique_ptr<PackSource>>(opened);
  std::variant<StoredRows, Outcome> readied = source.ready(2, c.reverse);
  ASSERT_TRUE(std::holds_alternative<StoredRows>(readied));
  ASSERT_EQ(std::get<StoredRows>(readied).stride, 8u);
  for (const auto& [first, count] : c.asked) {
    std::variant<std::span<const std::uint8_t>, Outcome> got = source.band(first, count);
    ASSERT_TRUE(std::holds_alternative<std::span<const std::uint8_t>>(got));
    const std::span<const std::uint8_t> rows = std::get<0>(got);
    Bytes expected;
    for (std::uint32_t y = first; y < first + count; ++y) {
      const auto level = static_cast<std::uint8_t>(y);
      expected.insert(expected.end(), {level, 0, 7, level, 1, 7, 0xEE, 0xEE});
    }
    EXPECT_EQ(Bytes(rows.begin(), rows.end()), expected) << "rows " << first << " to " << first + count - 1;
  }
}

INSTANTIATE_TEST_SUITE_P(Walks, BandsSourceRows, testing::ValuesIn(asked_cases),
                         [](const testing::TestParamInfo<AskedRows>& param) { return std::string(param.param.name); });

// Counts the views opened of the file at `watched`.
std::string watched;
int opens = 0;
void count_open(const char* path) { opens += watched == path; }

TEST(PackSource, OpensItsInputOnce) {
  TempDir dir;
  write_file(dir.file("small.bmp"), make_bmp({.width = 5, .height = 3}, pattern_pixel));
  const struct {
    std::string input;
    bool rotate;
  } cases[] = {
      {dir.file("small.bmp"), false},
      {dir.file("small.bmp"), true},
      {std::string(PNG_TESTS) + "/rgba8.png", false},
      {std::string(PNG_TESTS) + "/rgba8.png", true},
      {std::string(PNG_TESTS) + "/adam7-rgba8.png", false},  // interlaced: read whole
      {std::string(JPEG_TESTS) + "/cellauto.jpg", false},
      {std::string(JPEG_TESTS) + "/cellauto.jpg", true},
      {std::string(ORIENTATION_TESTS) + "/orientation-6.jpg", false},  // laid upright
      {std::string(GIF_TESTS) + "/disposals.gif", false},
      {std::string(READER_TESTS) + "/colour.tiff", false},
      {std::string(READER_TESTS) + "/pnm-p6.ppm", false},
  };
  set_view_opened_hook(&count_open);
  for (const auto& c : cases) {
    PackOptions options;
    options.switches.codecs = options.switches.stream = true;
    if (c.rotate) options.transforms.rotation = Rotation::quarter;
    watched = c.input, opens = 0;
    JobProgress quiet;
    const Outcome outcome = pack({c.input, dir.file("out.bin")}, options, quiet);
    EXPECT_TRUE(outcome.done()) << c.input << ": " << outcome.reason;
    EXPECT_EQ(opens, 1) << c.input << (c.rotate ? " turned" : "");
  }
  set_view_opened_hook(nullptr);
}

}  // namespace
