// rgb565 pack on every picture of BMP Suite 2.8 against the table that Kestrin's job is held to
// (testing/bmp-suite/expected.tsv): the raw image, or the refusal's status in the message with exit
// code 1 and no file.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "console/console.h"
#include "testing/bmp_suite_table.h"
#include "testing/test_files.h"

namespace {

class Rgb565PackOnBmpSuite : public testing::TestWithParam<SuiteRow> {};

TEST_P(Rgb565PackOnBmpSuite, GivesKestrinsVerdict) {
  const SuiteRow& row = GetParam();
  TempDir dir;
  std::ostringstream out, err;
  const std::vector<std::string> arguments = {"pack", std::string(BMP_SUITE) + "/" + row.path, dir.file("out.bin")};
  const std::vector<std::string_view> views(arguments.begin(), arguments.end());
  const int code = run_rgb565(views, {out, err, false});
  const std::optional<Bytes> output = read_file(dir.file("out.bin"));
  if (!row.kestrin.raw) {
    EXPECT_EQ(code, 1);
    EXPECT_NE(err.str().find(": " + row.kestrin.status), std::string::npos) << err.str();
    EXPECT_FALSE(output.has_value());
    return;
  }
  EXPECT_EQ(code, 0) << err.str();
  ASSERT_TRUE(output.has_value());
  EXPECT_EQ(raw_image_difference(*output, *row.kestrin.raw, row.width), "");
}

INSTANTIATE_TEST_SUITE_P(Files, Rgb565PackOnBmpSuite, testing::ValuesIn(read_bmp_suite_table(BMP_SUITE)),
                         [](const auto& param_info) { return suite_test_name(param_info.param.path); });

}  // namespace
