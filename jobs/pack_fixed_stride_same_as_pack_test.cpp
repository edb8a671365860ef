// Vaskel and Kestrin convert the same 24-bit pictures 39 or 40 pixels wide to the same raw image,
// the one worked out by hand.
#include <gtest/gtest.h>

#include <string>

#include "jobs/pack.h"
#include "jobs/pack_fixed_stride.h"
#include "testing/scripted_frame.h"
#include "testing/test_files.h"

namespace {

class VaskelAndKestrin : public testing::TestWithParam<BmpLayout> {};

TEST_P(VaskelAndKestrin, WriteTheSameRawImage) {
  TempDir dir;
  write_file(dir.file("in.bmp"), make_bmp(GetParam(), pattern_pixel));
  ScriptedFrame kestrin(dir.file("in.bmp"), dir.file("kestrin.bin"));
  kestrin.run(dialog_job<pack>);
  ScriptedFrame vaskel(dir.file("in.bmp"), dir.file("vaskel.bin"));
  vaskel.run(dialog_job<pack_fixed_stride>);
  ASSERT_EQ(kestrin.status(), "Done");
  ASSERT_EQ(vaskel.status(), "Done");
  // Worked out by hand rather than taken from either job, so that a fault both share shows too.
  const Bytes expected = expected_raw(GetParam(), pattern_pixel);
  EXPECT_TRUE(read_file(dir.file("kestrin.bin")) == expected);
  EXPECT_TRUE(read_file(dir.file("vaskel.bin")) == expected);
}

INSTANTIATE_TEST_SUITE_P(Pictures, VaskelAndKestrin,
                         testing::Values(BmpLayout{.width = 40, .height = 9}, BmpLayout{.width = 39, .height = 9},
                                         BmpLayout{.width = 40, .height = -4}, BmpLayout{.width = 39, .height = -4},
                                         BmpLayout{.width = 39, .height = 2, .info_size = 108, .gap = 4}),
                         [](const auto& param_info) {
                           const BmpLayout& layout = param_info.param;
                           return std::to_string(layout.width) + (layout.height < 0 ? "TopDown" : "BottomUp") +
                                  std::to_string(param_info.index);
                         });

}  // namespace
