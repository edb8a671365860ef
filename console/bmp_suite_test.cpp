// rgb565 pack --rows stored (the dialogs' row order) on every picture of BMP Suite 2.8 against the
// table that Kestrin's job is held to (testing/bmp-suite/expected.tsv): the raw image, or the
// refusal's status in the message with exit code 1 and no file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testing/bmp_suite_table.h"
#include "testing/console_run.h"
#include "testing/test_files.h"

namespace {

class Rgb565PackOnBmpSuite : public testing::TestWithParam<SuiteRow> {};

TEST_P(Rgb565PackOnBmpSuite, GivesKestrinsVerdict) {
  const SuiteRow& row = GetParam();
  TempDir dir;
  const Rgb565Run run =
      rgb565({"pack", "--rows", "stored", std::string(BMP_SUITE) + "/" + row.path, dir.file("out.bin")});
  const std::optional<Bytes> output = read_file(dir.file("out.bin"));
  if (!row.kestrin.raw) {
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find(": " + row.kestrin.status), std::string::npos) << run.err;
    EXPECT_FALSE(output.has_value());
    return;
  }
  EXPECT_EQ(run.code, 0) << run.err;
  ASSERT_TRUE(output.has_value());
  EXPECT_EQ(raw_image_difference(*output, *row.kestrin.raw, row.width), "");
}

INSTANTIATE_TEST_SUITE_P(Files, Rgb565PackOnBmpSuite, testing::ValuesIn(read_bmp_suite_table(BMP_SUITE)),
                         [](const auto& param_info) { return suite_test_name(param_info.param.path); });

}  // namespace
