// The rows a BMP's band source gives, in whatever order a walk asks for them: a 24-bit picture's next
// band is read ahead through a second view of its file (on a machine of two cores or more), and a
// walk that goes another way than the one read ahead must still get the rows it asks for.
#include "jobs/pack_sources.h"

#include <gtest/gtest.h>

#include <ostream>
#include <utility>
#include <vector>

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
  options.stream = true;
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

}  // namespace
