// JPEGs written by ImageMagick and cjpeg, whole, cut short at every length, and altered: a whole file
// passes the walk, no prefix of one does, and the decode that pack uses refuses what the codecs
// would have filled with grey.
#include <gtest/gtest.h>

#include <string>
#include <variant>

#include "codecs/image_codecs.h"
#include "codecs/jpeg_structure.h"
#include "testing/test_files.h"

namespace {

constexpr std::uint64_t no_limit = std::uint64_t{1} << 32;

Bytes jpeg(const std::string& name) { return read_file(std::string(JPEG_TESTS) + "/" + name).value_or(Bytes{}); }

std::string refusal(const Bytes& file) {
  const std::optional<Failure> failure = check_jpeg_structure(file);
  if (!failure) return "accepted";
  EXPECT_EQ(failure->fault, Fault::cannot_open);
  return failure->reason;
}

const char* const files[] = {"baseline.jpg", "grey.jpg", "progressive.jpg", "restarts.jpg"};

TEST(JpegStructure, TakesWholeFilesAndNoPrefixOfOne) {
  for (const char* name : files) {
    SCOPED_TRACE(name);
    const Bytes whole = jpeg(name);
    ASSERT_GT(whole.size(), 200u);
    EXPECT_EQ(refusal(whole), "accepted");
    // What follows the end-of-image marker is not the picture's.
    Bytes trailed = whole;
    trailed.insert(trailed.end(), {0xFF, 0xD8, 'x', 0});
    EXPECT_EQ(refusal(trailed), "accepted");
    for (std::size_t length = 0; length < whole.size(); ++length) {
      const std::string reason = refusal(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length)));
      const std::string expected =
          length < 2 ? "the JPEG is damaged: it does not start" : "the JPEG is cut short: it ends ";
      EXPECT_EQ(reason.rfind(expected, 0), 0u) << "cut to " << length << " bytes: " << reason;
    }
  }
}

// Offsets of the first marker `code` in `file`, at its 0xFF.
std::size_t marker_at(const Bytes& file, std::uint8_t code) {
  for (std::size_t i = 0; i + 1 < file.size(); ++i) {
    if (file[i] == 0xFF && file[i + 1] == code) return i;
  }
  ADD_FAILURE() << "no marker " << int{code};
  return 0;
}

TEST(JpegStructure, RefusesWhatTheCodecsWouldFillWithGrey) {
  const Bytes baseline = jpeg("baseline.jpg");
  const Bytes restarts = jpeg("restarts.jpg");
  ASSERT_FALSE(baseline.empty());
  ASSERT_FALSE(restarts.empty());

  // 16000 x 11000 in 4:2:0: 2000 x 1375 luma blocks and two chroma planes of 1000 x 688.
  Bytes huge = baseline;
  const std::size_t frame = marker_at(huge, 0xC0);
  huge[frame + 5] = 11000 >> 8, huge[frame + 6] = 11000 & 255;  // height
  huge[frame + 7] = 16000 >> 8, huge[frame + 8] = 16000 & 255;  // width

  Bytes out_of_order = restarts;
  out_of_order[marker_at(out_of_order, 0xD0) + 1] = 0xD1;

  // The scan's marker made an unknown one: the frame has no scan.
  Bytes no_scan = baseline;
  no_scan[marker_at(no_scan, 0xDA) + 1] = 0xEF;

  Bytes scan_first = baseline;
  scan_first[marker_at(scan_first, 0xC0) + 1] = 0xEE;

  const struct {
    const char* name;
    const Bytes& file;
    std::string reason;
  } cases[] = {
      {"huge", huge, "the JPEG is damaged: a scan of "},
      {"out_of_order", out_of_order, "the JPEG is damaged: restart marker 1 comes where 0 belongs"},
      {"no_scan", no_scan, "the JPEG is damaged: it ends before any of its pixels"},
      {"scan_first", scan_first, "the JPEG is damaged: a scan comes before the frame header"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(refusal(c.file).rfind(c.reason, 0), 0u) << refusal(c.file);
  }
  EXPECT_NE(refusal(huge).find(" cannot code its 4126000 blocks of 8 x 8 pixels"), std::string::npos) << refusal(huge);
}

// What pack decodes, on either build: a JPEG cut anywhere in its scan is refused, never grey rows.
TEST(JpegStructure, TheDecodeRefusesAJpegCutShort) {
  for (const char* name : files) {
    SCOPED_TRACE(name);
    const Bytes whole = jpeg(name);
    ASSERT_FALSE(whole.empty());
    EXPECT_TRUE(std::holds_alternative<CodecPicture>(decode_with_codecs(whole, no_limit)));
    for (const std::size_t percent : {30, 60, 90, 99}) {
      const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(whole.size() * percent / 100));
      const std::variant<CodecPicture, Failure> decoded = decode_with_codecs(cut, no_limit);
      ASSERT_TRUE(std::holds_alternative<Failure>(decoded)) << percent << " %";
      EXPECT_EQ(std::get<Failure>(decoded).reason.rfind("the JPEG is cut short: it ends ", 0), 0u)
          << std::get<Failure>(decoded).reason;
    }
  }
}

}  // namespace
