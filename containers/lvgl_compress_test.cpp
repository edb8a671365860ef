// LVGL's RLE and LZ4 as written here: encodings worked out by hand for small inputs, round trips
// through the decoders, LZ4 blocks checked both ways against the reference library where the build
// has it (natively, with liblz4-dev), and damaged data refused with a reason.
#include "containers/lvgl_compress.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#ifdef HAVE_LIBLZ4
#include <lz4.h>
#endif

namespace {

using Bytes = std::vector<std::uint8_t>;

struct RleCase {
  const char* name;
  Bytes data;
  unsigned block;
  Bytes encoded;
};

const RleCase rle_cases[] = {
    {"Empty", {}, 1, {}},
    // Four As repeat; the B is a run of one literal.
    {"RepeatThenLiteral", {'A', 'A', 'A', 'A', 'B'}, 1, {0x04, 'A', 0x81, 'B'}},
    // Two single bytes alike stay literals: a repeat would save nothing.
    {"PairOfBytesStaysLiteral", {'A', 'B', 'B', 'A'}, 1, {0x84, 'A', 'B', 'B', 'A'}},
    // A run is 127 blocks at most.
    {"LongRunSplits", Bytes(130, 0), 1, {0x7F, 0x00, 0x03, 0x00}},
    {"PairOfWordsRepeats", {0x01, 0x02, 0x01, 0x02}, 2, {0x02, 0x01, 0x02}},
    // The last block is cut short: a literal, padded with a zero.
    {"PartialLastBlock", {0x12, 0x34, 0x12, 0x34, 0x12, 0x34, 0x56}, 2, {0x03, 0x12, 0x34, 0x81, 0x56, 0x00}},
    {"ThreeBytePixels", {1, 2, 3, 4, 5, 6, 4, 5, 6}, 3, {0x81, 1, 2, 3, 0x02, 4, 5, 6}},
};

class RleEncodings : public testing::TestWithParam<RleCase> {};

TEST_P(RleEncodings, AreTheHandWorkedBytesAndDecodeBack) {
  const RleCase& c = GetParam();
  EXPECT_EQ(rle_compress(c.data, c.block), c.encoded);
  Bytes decoded(c.data.size(), 0xEE);
  EXPECT_EQ(rle_decompress(c.encoded, c.block, decoded), std::nullopt);
  EXPECT_EQ(decoded, c.data);
}

INSTANTIATE_TEST_SUITE_P(Cases, RleEncodings, testing::ValuesIn(rle_cases),
                         [](const testing::TestParamInfo<RleCase>& param) { return std::string(param.param.name); });

// How LVGL's decoder ends RLE data, which the decoder here follows: a run may pass the image's end
// by one block, a literal then cut to the image and the bytes after it unread; a repeat that would
// leave part of a block unwritten, or a run past the end by more, is refused.
struct RleEnding {
  const char* name;
  Bytes encoded;
  unsigned block;
  std::size_t size;    // the image's bytes
  Bytes decoded;       // empty when refused
  const char* reason;  // null when taken
};

const RleEnding rle_endings[] = {
    {"LiteralCutToTheImage", {0x82, 1, 2, 3, 0, 0xFF, 0xFF}, 2, 3, {1, 2, 3}, nullptr},
    {"RepeatPastTheEndByABlock", {0x03, 7, 8}, 2, 4, {7, 8, 7, 8}, nullptr},
    {"OneBlockMoreAfterTheImage", {0x81, 1, 0x81, 2}, 1, 1, {1}, nullptr},
    {"EmptyRunsAfterTheImage", {0x81, 1, 0x80, 0x00, 2}, 1, 1, {1}, nullptr},
    {"RepeatEndingInsideABlock",
     {0x02, 7, 8},
     2,
     3,
     {},
     "an RLE repeat ends inside a block past the image's end, whose bytes LVGL leaves unwritten"},
    {"TwoBlocksMoreAfterTheImage",
     {0x81, 1, 0x82, 2, 3},
     1,
     1,
     {},
     "an RLE run of 2 blocks reaches past the image's 1 bytes"},
    {"LiteralPastTheEndByMoreThanABlock",
     {0x83, 1, 2, 3, 4, 5, 6},
     2,
     3,
     {},
     "an RLE run of 3 blocks reaches past the image's 3 bytes"},
};

class RleEndings : public testing::TestWithParam<RleEnding> {};

TEST_P(RleEndings, AreTakenAsLvglTakesThem) {
  const RleEnding& c = GetParam();
  Bytes decoded(c.size, 0xEE);
  const std::optional<std::string> refused = rle_decompress(c.encoded, c.block, decoded);
  if (c.reason) {
    EXPECT_EQ(refused, std::string(c.reason));
  } else {
    EXPECT_EQ(refused, std::nullopt);
    EXPECT_EQ(decoded, c.decoded);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, RleEndings, testing::ValuesIn(rle_endings),
                         [](const testing::TestParamInfo<RleEnding>& param) { return std::string(param.param.name); });

struct Lz4Case {
  const char* name;
  Bytes data;
  Bytes encoded;
};

Bytes counting(std::size_t count) {
  Bytes bytes;
  for (std::size_t k = 0; k < count; ++k) bytes.push_back(static_cast<std::uint8_t>(k));
  return bytes;
}

const Lz4Case lz4_cases[] = {
    {"Empty", {}, {0x00}},
    // Twelve bytes are too few for a match: none may start in a block's last 12.
    {"TwelveBytesAreLiterals",
     {'a', 'b', 'c', 'd', 'a', 'b', 'c', 'd', 'a', 'b', 'c', 'd'},
     {0xC0, 'a', 'b', 'c', 'd', 'a', 'b', 'c', 'd', 'a', 'b', 'c', 'd'}},
    // Sixteen literals: 15 in the token, and one more in a byte after it.
    {"SixteenLiterals", counting(16),
     [] {
       Bytes bytes = counting(16);
       bytes.insert(bytes.begin(), {0xF0, 0x01});
       return bytes;
     }()},
    // One literal zero, then a match one byte back of 14 (10 in the token), ending 5 bytes before
    // the end, which are literals.
    {"TwentyZeros", Bytes(20, 0), {0x1A, 0x00, 0x01, 0x00, 0x50, 0, 0, 0, 0, 0}},
    // The match of 34 (1 + 34 = 40 - 5) takes 15 in the token and 15 in a byte after the distance.
    {"FortyZeros", Bytes(40, 0), {0x1F, 0x00, 0x01, 0x00, 0x0F, 0x50, 0, 0, 0, 0, 0}},
};

// liblz4 takes a match that ends exactly 5 bytes before the end, 8 bytes of input after its literals.
TEST(Lz4Decoding, TakesAMatchEndingFiveBytesBeforeTheEnd) {
  const Bytes block = {0x8F, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 0x08, 0x00, 0x00, 0x50, 'X', 'Y', 'Z', 'W', 'V'};
  Bytes decoded(32);
  EXPECT_EQ(lz4_decompress(block, decoded), std::nullopt);
  const std::string text(decoded.begin(), decoded.end());
  EXPECT_EQ(text, "ABCDEFGHABCDEFGHABCDEFGHABCXYZWV");
}

class Lz4Encodings : public testing::TestWithParam<Lz4Case> {};

TEST_P(Lz4Encodings, AreTheHandWorkedBytesAndDecodeBack) {
  const Lz4Case& c = GetParam();
  EXPECT_EQ(lz4_compress(c.data), c.encoded);
  Bytes decoded(c.data.size(), 0xEE);
  EXPECT_EQ(lz4_decompress(c.encoded, decoded), std::nullopt);
  EXPECT_EQ(decoded, c.data);
}

INSTANTIATE_TEST_SUITE_P(Cases, Lz4Encodings, testing::ValuesIn(lz4_cases),
                         [](const testing::TestParamInfo<Lz4Case>& param) { return std::string(param.param.name); });

// Data of every kind a picture gives: flat runs, a repeating pattern longer than a block, a gradient
// and noise, at lengths around the block format's end rules and past a run's 127 blocks.
std::vector<Bytes> sample_data() {
  std::vector<Bytes> samples;
  std::uint32_t noise = 12345;
  for (const std::size_t size : {1u, 5u, 12u, 13u, 17u, 100u, 257u, 1000u, 70000u}) {
    Bytes flat(size, 0x5A), pattern, gradient, random;
    for (std::size_t k = 0; k < size; ++k) {
      pattern.push_back(static_cast<std::uint8_t>("0123456789abcdefghi"[k % 19]));
      gradient.push_back(static_cast<std::uint8_t>(k / 7));
      noise = noise * 1103515245 + 12345;
      random.push_back(static_cast<std::uint8_t>(noise >> 16));
    }
    for (std::size_t k = size / 3; k < size / 2; ++k) random[k] = 0;  // a flat stretch in the noise
    samples.insert(samples.end(), {flat, pattern, gradient, random});
  }
  return samples;
}

TEST(LvglCompression, RoundTripsThroughTheDecoders) {
  for (const Bytes& data : sample_data()) {
    for (const unsigned block : {1u, 2u, 3u, 4u}) {
      Bytes decoded(data.size());
      EXPECT_EQ(rle_decompress(rle_compress(data, block), block, decoded), std::nullopt);
      EXPECT_EQ(decoded, data) << "RLE of " << data.size() << " bytes in blocks of " << block;
    }
    Bytes decoded(data.size());
    EXPECT_EQ(lz4_decompress(lz4_compress(data), decoded), std::nullopt);
    EXPECT_EQ(decoded, data) << "LZ4 of " << data.size() << " bytes";
  }
  // The encoders find what there is to find.
  const Bytes flat(70000, 0);
  EXPECT_LT(rle_compress(flat, 1).size(), 1200u);
  EXPECT_LT(lz4_compress(flat).size(), 300u);
}

// An LZ4 sequence: its literals, then a match of `length` bytes `distance` back (none when 0).
void put_sequence(Bytes& block, const Bytes& literals, std::size_t distance, std::size_t length) {
  const std::size_t extra = length == 0 ? 0 : length - 4;
  block.push_back(
      static_cast<std::uint8_t>(std::min<std::size_t>(literals.size(), 15) << 4 | std::min<std::size_t>(extra, 15)));
  const auto put_length = [&](std::size_t value) {
    if (value < 15) return;
    for (value -= 15; value >= 255; value -= 255) block.push_back(255);
    block.push_back(static_cast<std::uint8_t>(value));
  };
  put_length(literals.size());
  block.insert(block.end(), literals.begin(), literals.end());
  if (length == 0) return;
  block.insert(block.end(), {static_cast<std::uint8_t>(distance), static_cast<std::uint8_t>(distance >> 8)});
  put_length(extra);
}

// Decoded a piece at a time, and resumed from marks, the data comes back as it was: pieces of
// growing odd sizes, every sample of both methods, and a block written by hand whose matches reach
// 65000 bytes back, across the 64 KiB that a mark keeps.
TEST(LvglStream, DecodesInPiecesAndResumesFromMarks) {
  Bytes noise(66000), far_data;
  std::uint32_t seed = 7;
  for (std::uint8_t& byte : noise) seed = seed * 1103515245 + 12345, byte = static_cast<std::uint8_t>(seed >> 16);
  Bytes far_block;
  put_sequence(far_block, Bytes(noise.begin(), noise.begin() + 65000), 65000, 1000);
  put_sequence(far_block, {1, 2, 3}, 65000, 70000);
  put_sequence(far_block, {4, 5, 6, 7, 8}, 0, 0);
  far_data.assign(noise.begin(), noise.begin() + 65000);
  for (std::size_t k = 0; k < 1000; ++k) far_data.push_back(far_data[far_data.size() - 65000]);
  far_data.insert(far_data.end(), {1, 2, 3});
  for (std::size_t k = 0; k < 70000; ++k) far_data.push_back(far_data[far_data.size() - 65000]);
  far_data.insert(far_data.end(), {4, 5, 6, 7, 8});

  struct Coded {
    LvglCompression method;
    unsigned block;
    Bytes data, coded;
  };
  std::vector<Coded> cases{{LvglCompression::lz4, 1, far_data, far_block}};
  for (const Bytes& data : sample_data()) {
    cases.push_back({LvglCompression::rle, 3, data, rle_compress(data, 3)});
    cases.push_back({LvglCompression::lz4, 1, data, lz4_compress(data)});
  }
  for (const Coded& c : cases) {
    LvglStream stream(c.method, c.block, c.coded, c.data.size());
    std::vector<std::pair<std::size_t, LvglStream::Mark>> marks;
    Bytes got(c.data.size());
    for (std::size_t at = 0, piece = 1; at < got.size(); piece = piece * 3 + 1) {
      marks.emplace_back(at, stream.mark());
      const std::size_t count = std::min(piece, got.size() - at);
      ASSERT_EQ(stream.next({got.data() + at, count}), std::nullopt);
      at += count;
    }
    EXPECT_EQ(stream.finish(), std::nullopt);
    EXPECT_EQ(got, c.data) << c.data.size() << " bytes";
    for (const auto& [from, mark] : marks) {
      stream.resume(mark);
      Bytes rest(c.data.size() - from);
      ASSERT_EQ(stream.next(rest), std::nullopt);
      EXPECT_TRUE(std::equal(rest.begin(), rest.end(), c.data.begin() + static_cast<std::ptrdiff_t>(from)))
          << c.data.size() << " bytes from " << from;
    }
  }
}

#ifdef HAVE_LIBLZ4
TEST(LvglCompression, Lz4BlocksAgreeWithTheReferenceLibrary) {
  for (const Bytes& data : sample_data()) {
    const Bytes ours = lz4_compress(data);
    Bytes theirs_decoded(data.size() + 1);
    const int made =
        LZ4_decompress_safe(reinterpret_cast<const char*>(ours.data()), reinterpret_cast<char*>(theirs_decoded.data()),
                            static_cast<int>(ours.size()), static_cast<int>(theirs_decoded.size()));
    ASSERT_EQ(made, static_cast<int>(data.size())) << data.size() << " bytes";
    theirs_decoded.resize(data.size());
    EXPECT_EQ(theirs_decoded, data);

    Bytes theirs(static_cast<std::size_t>(LZ4_compressBound(static_cast<int>(data.size()))));
    theirs.resize(static_cast<std::size_t>(
        LZ4_compress_default(reinterpret_cast<const char*>(data.data()), reinterpret_cast<char*>(theirs.data()),
                             static_cast<int>(data.size()), static_cast<int>(theirs.size()))));
    Bytes decoded(data.size());
    EXPECT_EQ(lz4_decompress(theirs, decoded), std::nullopt);
    EXPECT_EQ(decoded, data);
  }
}
#else
TEST(LvglCompression, Lz4BlocksAgreeWithTheReferenceLibrary) {
  GTEST_SKIP() << "liblz4 is not in this build (natively, liblz4-dev adds it)";
}
#endif

struct Damage {
  const char* name;
  LvglCompression method;
  Bytes data;
  std::size_t size;  // decompressed
  const char* reason;
};

const Damage damages[] = {
    {"RleCutShortInLiterals",
     LvglCompression::rle,
     {0x83, 1, 2},
     3,
     "the RLE data is cut short inside a run: it ends after 0 of the image's 3 bytes"},
    {"RleEndsEarly",
     LvglCompression::rle,
     {0x81, 1},
     3,
     "the RLE data is cut short: it ends after 1 of the image's 3 bytes"},
    {"RleRunPastTheEnd", LvglCompression::rle, {0x05, 7}, 3, "an RLE run of 5 blocks reaches past the image's 3 bytes"},
    {"Lz4Empty", LvglCompression::lz4, {}, 1, "the LZ4 data is cut short: it ends after 0 of the image's 1 bytes"},
    {"Lz4DistanceZero",
     LvglCompression::lz4,
     {0x10, 'a', 0x00, 0x00, 0x00},
     6,
     "an LZ4 match refers 0 bytes back from byte 1 of the image"},
    {"Lz4DistancePastTheStart",
     LvglCompression::lz4,
     {0x10, 'a', 0x02, 0x00, 0x00},
     6,
     "an LZ4 match refers 2 bytes back from byte 1 of the image"},
    {"Lz4MatchPastTheEnd",
     LvglCompression::lz4,
     {0x1F, 'a', 0x01, 0x00, 0x00},
     6,
     "an LZ4 match reaches past the image's 6 bytes"},
    {"Lz4LiteralsCutShort",
     LvglCompression::lz4,
     {0x30, 'a'},
     3,
     "the LZ4 data is cut short in its literals: it ends after 0 of the image's 3 bytes"},
    {"Lz4EndsEarly",
     LvglCompression::lz4,
     {0x20, 'a', 'b'},
     3,
     "the LZ4 data ends early: it ends after 2 of the image's 3 bytes"},
    // Blocks that liblz4 (python3-lz4's decompress) refuses: a match into the last 5 bytes, one with
    // no room after it for the block's end, and one that starts within the last 12.
    // 8 literals, a match of 19 (15 in the token, 0 after the distance) to byte 27, then 4 literals:
    // the match reaches into the last 5 of 31. Its twin with 5 literals, 32 bytes, liblz4 takes.
    {"Lz4MatchIntoTheLastFiveBytes",
     LvglCompression::lz4,
     {0x8F, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 0x08, 0x00, 0x00, 0x40, 'X', 'Y', 'Z', 'W'},
     31,
     "an LZ4 match reaches into the last 5 bytes of the image, which are literals"},
    // 8 literals, then too few bytes left for a match and the 5 literals that end a block.
    {"Lz4MatchWithoutRoomForTheEnd",
     LvglCompression::lz4,
     {0x8A, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 0x08, 0x00, 0x30, 'X', 'Y', 'Z'},
     25,
     "an LZ4 match starts at byte 8, within the last 12 of the image, which only literals may end"},
    {"Lz4MatchStartsInTheLastTwelve",
     LvglCompression::lz4,
     {0x90, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 0x09, 0x00, 0x70, '1', '2', '3', '4', '5', '6', '7'},
     20,
     "an LZ4 match starts at byte 9, within the last 12 of the image, which only literals may end"},
    {"Lz4LengthCutShort",
     LvglCompression::lz4,
     {0xF0, 0xFF},
     300,
     "the LZ4 data is cut short: it ends after 0 of the image's 300 bytes"},
};

class DamagedData : public testing::TestWithParam<Damage> {};

TEST_P(DamagedData, IsRefusedWithTheReason) {
  const Damage& d = GetParam();
  Bytes out(d.size);
  const std::optional<std::string> reason =
      d.method == LvglCompression::rle ? rle_decompress(d.data, 1, out) : lz4_decompress(d.data, out);
  EXPECT_EQ(reason, std::optional<std::string>(d.reason));
}

INSTANTIATE_TEST_SUITE_P(Cases, DamagedData, testing::ValuesIn(damages),
                         [](const testing::TestParamInfo<Damage>& param) { return std::string(param.param.name); });

}  // namespace
