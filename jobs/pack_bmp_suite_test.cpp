// Kestrin on every picture of BMP Suite 2.8 (testing/bmp-suite), in both builds, from one table:
// each file's status and, for a converted file, a 64-bit FNV-1a digest of its raw image and how the
// suite draws it beside g/rgb24.bmp, its 24-bit reference.
//
// The digests were taken from one build and must hold in the other. The Win32 build decodes the
// system loader's section where it can and the native build the file with its own reader, so this
// table passing in both is what shows that they give the same bytes for every file they accept.
// Files that the suite draws as one picture in different encodings (RLE or not, core or V5
// header, palette or bit fields) share a digest; each shares none with a different picture.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>

#include "jobs/pack.h"
#include "testing/scripted_frame.h"
#include "testing/test_files.h"

namespace {

enum class Like {
  // The same raw image as g/rgb24.bmp: the suite stores its colours with 8 bits or more.
  rgb24,
  // Every channel within one step of g/rgb24.bmp's: the suite rounds its colours to 5 or 6 bits.
  rgb24_rounded,
  // Fewer colours, another size, the rows stored top-down, or alpha over a transparent region.
  other,
};

struct SuiteFile {
  const char* path;  // inside testing/bmp-suite
  const char* status;
  std::uint64_t digest = 0;
  Like like = Like::other;
};

void PrintTo(const SuiteFile& file, std::ostream* out) { *out << file.path; }

std::uint64_t fnv1a(const Bytes& bytes) {
  std::uint64_t hash = 0xCBF29CE484222325;
  for (const std::uint8_t byte : bytes) hash = (hash ^ byte) * 0x100000001B3;
  return hash;
}

// Kestrin's statuses and output for one suite file.
struct Conversion {
  std::string last_status;
  std::optional<Bytes> raw;
};

Conversion convert(const std::string& path) {
  TempDir dir;
  const std::string output = dir.file("out.bin");
  ScriptedFrame frame(std::string(BMP_SUITE) + "/" + path, output);
  frame.run(dialog_job<pack>);
  return {frame.statuses().empty() ? "" : frame.statuses().back(), read_file(output)};
}

bool within_one_step(std::uint16_t a, std::uint16_t b) {
  for (const auto& [shift, mask] : {std::pair{11, 0x1F}, std::pair{5, 0x3F}, std::pair{0, 0x1F}}) {
    if (std::abs(((a >> shift) & mask) - ((b >> shift) & mask)) > 1) return false;
  }
  return true;
}

class KestrinOnBmpSuite : public testing::TestWithParam<SuiteFile> {};

TEST_P(KestrinOnBmpSuite, GivesTheTablesStatusAndBytes) {
  const SuiteFile& file = GetParam();
  const Conversion run = convert(file.path);
  EXPECT_EQ(run.last_status, file.status);
  if (std::string(file.status) != "Done") {
    EXPECT_FALSE(run.raw.has_value());
    return;
  }
  ASSERT_TRUE(run.raw.has_value());
  EXPECT_EQ(fnv1a(*run.raw), file.digest);
  if (file.like == Like::other) return;
  const Conversion reference = convert("g/rgb24.bmp");
  ASSERT_TRUE(reference.raw.has_value());
  ASSERT_EQ(run.raw->size(), reference.raw->size());
  if (file.like == Like::rgb24) {
    EXPECT_TRUE(*run.raw == *reference.raw);
    return;
  }
  std::size_t far = 0;
  for (std::size_t at = 0; at + 1 < run.raw->size(); at += 2) {
    const auto word = [&](const Bytes& raw) { return static_cast<std::uint16_t>(raw[at] | raw[at + 1] << 8); };
    if (!within_one_step(word(*run.raw), word(*reference.raw))) ++far;
  }
  EXPECT_EQ(far, 0u);
}

// clang-format off
const SuiteFile suite_files[] = {
    {"g/pal1.bmp", "Done", 0xF961ACA509181B05, Like::other},
    {"g/pal1bg.bmp", "Done", 0xCD8F1A73459F778D, Like::other},
    {"g/pal1wb.bmp", "Done", 0xF961ACA509181B05, Like::other},
    {"g/pal4.bmp", "Done", 0x659DE5C9A0D248DD, Like::other},
    {"g/pal4gs.bmp", "Done", 0x80AB1786CF906759, Like::other},
    {"g/pal4rle.bmp", "Done", 0x659DE5C9A0D248DD, Like::other},
    {"g/pal8-0.bmp", "Done", 0x42EEDB2A2C2B2AC0, Like::other},
    {"g/pal8.bmp", "Done", 0x42EEDB2A2C2B2AC0, Like::other},
    {"g/pal8gs.bmp", "Done", 0xF908BC5DB3BEF566, Like::other},
    {"g/pal8nonsquare.bmp", "Done", 0xE2872020B77E5ACB, Like::other},
    {"g/pal8os2.bmp", "Done", 0x42EEDB2A2C2B2AC0, Like::other},
    {"g/pal8rle.bmp", "Done", 0x42EEDB2A2C2B2AC0, Like::other},
    {"g/pal8topdown.bmp", "Done", 0xB228755F2BE97048, Like::other},
    {"g/pal8v4.bmp", "Done", 0x42EEDB2A2C2B2AC0, Like::other},
    {"g/pal8v5.bmp", "Done", 0x42EEDB2A2C2B2AC0, Like::other},
    {"g/pal8w124.bmp", "Done", 0x0B38B0E26BCB1631, Like::other},
    {"g/pal8w125.bmp", "Done", 0xC46080E9E81B6D84, Like::other},
    {"g/pal8w126.bmp", "Done", 0xF1CD9CBB86732AE6, Like::other},
    {"g/rgb16-565.bmp", "Done", 0x32B829844172E419, Like::rgb24_rounded},
    {"g/rgb16-565pal.bmp", "Done", 0x32B829844172E419, Like::rgb24_rounded},
    {"g/rgb16.bmp", "Done", 0xD32892208C9D64F9, Like::rgb24_rounded},
    {"g/rgb16bfdef.bmp", "Done", 0xD32892208C9D64F9, Like::rgb24_rounded},
    {"g/rgb24.bmp", "Done", 0x74CF5ECF0FE1EE5D, Like::rgb24},
    {"g/rgb24pal.bmp", "Done", 0x74CF5ECF0FE1EE5D, Like::rgb24},
    {"g/rgb32.bmp", "Done", 0x74CF5ECF0FE1EE5D, Like::rgb24},
    {"g/rgb32bf.bmp", "Done", 0x74CF5ECF0FE1EE5D, Like::rgb24},
    {"g/rgb32bfdef.bmp", "Done", 0x74CF5ECF0FE1EE5D, Like::rgb24},
    {"q/pal1huffmsb.bmp", "Unsupported picture"},
    {"q/pal1p1.bmp", "Done", 0x89AA19B20D6A89A5, Like::other},
    {"q/pal2.bmp", "Unsupported picture"},
    {"q/pal2color.bmp", "Unsupported picture"},
    {"q/pal4rlecut.bmp", "Done", 0xEC5AB601CB86D022, Like::other},
    {"q/pal4rletrns.bmp", "Done", 0x931CCCFA6BA265E5, Like::other},
    {"q/pal8offs.bmp", "Done", 0x42EEDB2A2C2B2AC0, Like::other},
    {"q/pal8os2-hs.bmp", "Done", 0x42EEDB2A2C2B2AC0, Like::other},
    {"q/pal8os2-sz.bmp", "Done", 0x42EEDB2A2C2B2AC0, Like::other},
    {"q/pal8os2sp.bmp", "Done", 0x42EEDB2A2C2B2AC0, Like::other},
    {"q/pal8os2v2-16.bmp", "Unsupported picture"},
    {"q/pal8os2v2-40sz.bmp", "Done", 0x42EEDB2A2C2B2AC0, Like::other},
    {"q/pal8os2v2-sz.bmp", "Unsupported picture"},
    {"q/pal8os2v2.bmp", "Unsupported picture"},
    {"q/pal8oversizepal.bmp", "Done", 0x42EEDB2A2C2B2AC0, Like::other},
    {"q/pal8rlecut.bmp", "Done", 0x8D81BFFD5EA2EDF8, Like::other},
    {"q/pal8rletrns.bmp", "Done", 0xD7D4E7AB794DB78C, Like::other},
    {"q/rgb16-231.bmp", "Done", 0x0C93856079A6A0EC, Like::other},
    {"q/rgb16-3103.bmp", "Done", 0x32FEFEF17022CF3A, Like::other},
    {"q/rgb16faketrns.bmp", "Done", 0xD32892208C9D64F9, Like::rgb24_rounded},
    {"q/rgb24jpeg.bmp", "Unsupported picture"},
    {"q/rgb24largepal.bmp", "Done", 0x74CF5ECF0FE1EE5D, Like::rgb24},
    {"q/rgb24lprof.bmp", "Done", 0x74CF5ECF0FE1EE5D, Like::rgb24},
    {"q/rgb24png.bmp", "Unsupported picture"},
    {"q/rgb24rle24.bmp", "Unsupported picture"},
    {"q/rgb32-111110.bmp", "Done", 0x74CF5ECF0FE1EE5D, Like::rgb24},
    {"q/rgb32-7187.bmp", "Done", 0x74CF5ECF0FE1EE5D, Like::rgb24},
    {"q/rgb32-xbgr.bmp", "Done", 0x74CF5ECF0FE1EE5D, Like::rgb24},
    {"q/rgb32fakealpha.bmp", "Done", 0x74CF5ECF0FE1EE5D, Like::rgb24},
    {"q/rgb32h52.bmp", "Done", 0x74CF5ECF0FE1EE5D, Like::rgb24},
    {"q/rgba16-1924.bmp", "Done", 0x94EB64CF8ECFEBF4, Like::other},
    {"q/rgba16-4444.bmp", "Done", 0x3A883C0B356E75FD, Like::other},
    {"q/rgba16-5551.bmp", "Done", 0xD32892208C9D64F9, Like::rgb24_rounded},
    {"q/rgba32-1.bmp", "Done", 0xF0E2C11F577CD76C, Like::other},
    {"q/rgba32-1010102.bmp", "Done", 0xF0E2C11F577CD76C, Like::other},
    {"q/rgba32-2.bmp", "Done", 0xF0E2C11F577CD76C, Like::other},
    {"q/rgba32-61754.bmp", "Done", 0x27A7A6D59FF51B00, Like::other},
    {"q/rgba32-81284.bmp", "Done", 0xF0E2C11F577CD76C, Like::other},
    {"q/rgba32abf.bmp", "Unsupported picture"},
    {"q/rgba32h56.bmp", "Done", 0xF0E2C11F577CD76C, Like::other},
    {"q/rgba64.bmp", "Unsupported picture"},
    {"b/badbitcount.bmp", "Unsupported picture"},
    {"b/badbitssize.bmp", "Done", 0xF961ACA509181B05, Like::other},
    {"b/baddens1.bmp", "Done", 0xF961ACA509181B05, Like::other},
    {"b/baddens2.bmp", "Done", 0xF961ACA509181B05, Like::other},
    {"b/badfilesize.bmp", "Done", 0xF961ACA509181B05, Like::other},
    {"b/badheadersize.bmp", "Cannot open input"},
    {"b/badpalettesize.bmp", "Done", 0x42EEDB2A2C2B2AC0, Like::other},
    {"b/badplanes.bmp", "Cannot open input"},
    {"b/badrle.bmp", "Cannot open input"},
    {"b/badrle4.bmp", "Cannot open input"},
    {"b/badrle4bis.bmp", "Cannot open input"},
    {"b/badrle4ter.bmp", "Cannot open input"},
    {"b/badrlebis.bmp", "Cannot open input"},
    {"b/badrleter.bmp", "Cannot open input"},
    {"b/badwidth.bmp", "Cannot open input"},
    {"b/pal8badindex.bmp", "Cannot open input"},
    {"b/reallybig.bmp", "Unsupported picture"},
    {"b/rgb16-880.bmp", "Cannot open input"},
    {"b/rletopdown.bmp", "Cannot open input"},
    {"b/shortfile.bmp", "Cannot open input"},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Files, KestrinOnBmpSuite, testing::ValuesIn(suite_files),
                         [](const testing::TestParamInfo<SuiteFile>& param_info) {
                           std::string name = param_info.param.path;
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

}  // namespace
