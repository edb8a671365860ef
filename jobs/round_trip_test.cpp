// A 568 x 130 picture from BMP to raw image through Kestrin's job and back through Talvose's.
#include <gtest/gtest.h>

#include "jobs/pack.h"
#include "jobs/unpack.h"
#include "testing/scripted_frame.h"
#include "testing/test_files.h"

namespace {

TEST(RoundTrip, KestrinThenTalvoseGivesThePictureWithTheLowBitsCleared) {
  TempDir dir;
  const BmpLayout layout{.width = 568, .height = 130};
  const Bytes picture = make_bmp(layout, pattern_pixel);
  write_file(dir.file("picture.bmp"), picture);

  ScriptedFrame kestrin(dir.file("picture.bmp"), dir.file("picture.bin"));
  kestrin.run(dialog_job<pack>);
  ASSERT_EQ(kestrin.status(), "Done");
  ScriptedFrame talvose(dir.file("picture.bin"), dir.file("back.bmp"));
  talvose.run(dialog_job<unpack>);
  ASSERT_EQ(talvose.status(), "Done");

  const Bytes back = read_file(dir.file("back.bmp")).value_or(Bytes{});
  ASSERT_EQ(back.size(), 58u + 568 * 130 * 3);
  // Both files hold 130 unpadded rows of 1,704 bytes, bottom row first; only where they start differs.
  Bytes expected(picture.begin() + 54, picture.end());
  for (std::size_t i = 0; i < expected.size(); ++i) expected[i] &= i % 3 == 1 ? 0xFC : 0xF8;
  EXPECT_TRUE(Bytes(back.begin() + 58, back.end()) == expected);
}

}  // namespace
