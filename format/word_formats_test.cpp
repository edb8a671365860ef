// The four-byte formats packed from a row of opaque triples on every kernel path this processor has,
// the row long enough that each path's widest step, its narrower step and the scalar tail all
// write some of it. Each case says by hand where a pixel's red (R), green (G), blue (B) and full
// alpha (A, 0xFF) land in its four bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "format/pixel_format.h"
#include "pixels/kernel_path.h"

namespace {

struct OpaqueWordCase {
  const char* name;
  PixelFormat format;
  WordFormat word;
  const char* bytes;  // one pixel's bytes, first to last
};

const OpaqueWordCase opaque_word_cases[] = {
    {"xrgb8888", PixelFormat::xrgb8888, {}, "BGRA"},
    {"xrgb8888_be", PixelFormat::xrgb8888, {ByteOrder::high_first}, "ARGB"},
    {"xrgb8888_bgr", PixelFormat::xrgb8888, {ByteOrder::low_first, ChannelOrder::bgr}, "RGBA"},
    {"xrgb8888_be_bgr", PixelFormat::xrgb8888, {ByteOrder::high_first, ChannelOrder::bgr}, "ABGR"},
    {"argb8888", PixelFormat::argb8888, {}, "BGRA"},
    {"argb8888_be", PixelFormat::argb8888, {ByteOrder::high_first}, "ARGB"},
    {"argb8888_bgr", PixelFormat::argb8888, {ByteOrder::low_first, ChannelOrder::bgr}, "RGBA"},
    {"argb8888_be_bgr", PixelFormat::argb8888, {ByteOrder::high_first, ChannelOrder::bgr}, "ABGR"},
};

class OpaqueWords : public testing::TestWithParam<OpaqueWordCase> {};

TEST_P(OpaqueWords, PutEachChannelInItsByteOnEveryKernelPath) {
  const OpaqueWordCase& c = GetParam();
  // Pixel k is blue k, green 0x40 + k, red 0x80 + k: no byte of one pixel or channel is another's.
  constexpr std::uint32_t width = 16;
  std::vector<std::uint8_t> triples;
  for (std::uint8_t k = 0; k < width; ++k)
    triples.insert(triples.end(), {k, static_cast<std::uint8_t>(0x40 + k), static_cast<std::uint8_t>(0x80 + k)});
  std::vector<std::uint8_t> expected;
  for (std::uint8_t k = 0; k < width; ++k) {
    for (const char* at = c.bytes; *at != '\0'; ++at) {
      expected.push_back(*at == 'B'   ? k
                         : *at == 'G' ? static_cast<std::uint8_t>(0x40 + k)
                         : *at == 'R' ? static_cast<std::uint8_t>(0x80 + k)
                                      : std::uint8_t{0xFF});
    }
  }
  FormatSettings settings;
  settings.format = c.format;
  settings.word = c.word;
  const KernelPath chosen = dispatched_kernel_path();
  for (const KernelPath path : available_kernel_paths()) {
    force_kernel_path(path);
    std::vector<std::uint8_t> out(expected.size());
    ASSERT_TRUE(encode_triple_rows(settings, 0, triples.data(), triples.size(), false, width, 1, out));
    EXPECT_EQ(out, expected) << "on the " << kernel_path_name(path) << " path";
  }
  force_kernel_path(chosen);
}

INSTANTIATE_TEST_SUITE_P(Formats, OpaqueWords, testing::ValuesIn(opaque_word_cases),
                         [](const testing::TestParamInfo<OpaqueWordCase>& param) {
                           return std::string(param.param.name);
                         });

}  // namespace
