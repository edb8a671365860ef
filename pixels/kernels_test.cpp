// Every vector path, forced in turn, against the scalar path, whose own bytes the literal cases in
// pixels_test.cpp and the subtract tests pin down. The scalar path is not an instance: it would be
// compared with itself. A path this processor lacks is reported as skipped, so that a machine with
// no vector path at all shows that nothing was compared instead of passing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "pixels/kernel_path.h"
#include "pixels/pixels.h"
#include "pixels/subtract_words.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes random_bytes(std::mt19937& random, std::size_t size) {
  std::uniform_int_distribution<int> byte(0, 255);
  Bytes bytes(size);
  for (auto& value : bytes) value = static_cast<std::uint8_t>(byte(random));
  return bytes;
}

// Buffers sized exactly to offset + the bytes used, so that the sanitizers see any access past the
// span, with the span starting `offset` bytes in so that no start is aligned by luck.
struct Placed {
  Bytes buffer;
  std::size_t offset;
  std::span<std::uint8_t> span() { return std::span(buffer).subspan(offset); }
};

class KernelPaths : public testing::TestWithParam<KernelPath> {
 protected:
  void SetUp() override {
    if (std::ranges::find(available_kernel_paths(), GetParam()) == available_kernel_paths().end())
      GTEST_SKIP() << "this processor has no " << kernel_path_name(GetParam()) << " path";
    force_kernel_path(GetParam());
  }
  void TearDown() override { force_kernel_path(chosen_); }

  template <typename Run>
  void on_scalar(Run run) {
    force_kernel_path(KernelPath::scalar);
    run();
    force_kernel_path(GetParam());
  }

  std::mt19937 random_{565};

 private:
  KernelPath chosen_ = dispatched_kernel_path();
};

TEST_P(KernelPaths, ExportsRowsOfEveryWidthAsTheScalarPathDoes) {
  constexpr std::uint32_t height = 3;
  for (std::uint32_t width = 1; width <= 64; ++width) {
    for (const std::uint32_t padding : {0u, 1u, 3u}) {
      const std::uint32_t stride = width * 3 + padding;
      const std::size_t offset = width % 7;
      Placed rows{random_bytes(random_, offset + rows_extent(stride, width, height)), offset};
      Placed out{Bytes(offset + 1 + std::size_t{width} * height * 2), offset + 1};
      Bytes expected(std::size_t{width} * height * 2);
      pack_565_rows(rows.span(), stride, width, height, out.span());
      on_scalar([&] { pack_565_rows(rows.span(), stride, width, height, expected); });
      ASSERT_TRUE(std::ranges::equal(out.span(), expected)) << "width " << width << ", stride " << stride;
    }
  }
}

TEST_P(KernelPaths, ExpandsRunsOfEveryLengthAsTheScalarPathDoes) {
  for (std::size_t words = 1; words <= 64; ++words) {
    const std::size_t offset = words % 5;
    Placed in{random_bytes(random_, offset + words * 2), offset};
    Placed out{Bytes(offset + 2 + words * 3), offset + 2};
    Bytes expected(words * 3);
    expand_run(in.span(), out.span());
    on_scalar([&] { expand_run(in.span(), expected); });
    ASSERT_TRUE(std::ranges::equal(out.span(), expected)) << words << " words";
  }
}

TEST_P(KernelPaths, PacksEveryTripleAsTheScalarPathDoes) {
  // One row per red value, holding every blue-green pair.
  Bytes rows(65536 * 3);
  Bytes out(65536 * 2);
  Bytes expected(65536 * 2);
  for (std::uint32_t red = 0; red < 256; ++red) {
    for (std::uint32_t pair = 0; pair < 65536; ++pair) {
      rows[3 * pair] = static_cast<std::uint8_t>(pair);
      rows[3 * pair + 1] = static_cast<std::uint8_t>(pair >> 8);
      rows[3 * pair + 2] = static_cast<std::uint8_t>(red);
    }
    pack_565_rows(rows, 65536 * 3, 65536, 1, out);
    on_scalar([&] { pack_565_rows(rows, 65536 * 3, 65536, 1, expected); });
    ASSERT_EQ(out, expected) << "red " << red;
  }
}

TEST_P(KernelPaths, ExpandsEveryWordAsTheScalarPathDoes) {
  Bytes words(65536 * 2);
  for (std::uint32_t word = 0; word < 65536; ++word) {
    words[2 * word] = static_cast<std::uint8_t>(word);
    words[2 * word + 1] = static_cast<std::uint8_t>(word >> 8);
  }
  Bytes out(65536 * 3);
  Bytes expected(65536 * 3);
  expand_run(words, out);
  on_scalar([&] { expand_run(words, expected); });
  EXPECT_EQ(out, expected);
}

TEST_P(KernelPaths, SubtractsWordsOfEveryLengthAsTheScalarPathDoes) {
  for (std::size_t length = 0; length <= 80; ++length) {
    const std::size_t offset = length % 3;
    Placed sub{random_bytes(random_, offset + 2 + length), offset + 2};
    // Every other word of the image equals its sub word plus one or minus one, so that results of
    // 0xFFFFFFFF and carries across every byte come up, beside the random words that wrap half the
    // time.
    Bytes image = random_bytes(random_, offset + length);
    for (std::size_t at = 0; at + 4 <= length; at += 8) {
      for (std::size_t i = 0; i < 4; ++i) image[offset + at + i] = sub.span()[at + i];
      image[offset + at] = static_cast<std::uint8_t>(image[offset + at] + (at % 16 == 0 ? 1 : -1));
    }
    Placed placed{image, offset};
    Bytes expected(image.begin() + static_cast<std::ptrdiff_t>(offset), image.end());
    // Into an area of its own first, which must equal the difference made in place.
    Bytes apart(length);
    subtract_words(apart, placed.span(), sub.span());
    subtract_words(placed.span(), sub.span());
    on_scalar([&] { subtract_words(expected, sub.span()); });
    ASSERT_TRUE(std::ranges::equal(placed.span(), expected)) << length << " bytes";
    ASSERT_EQ(apart, expected) << length << " bytes";
  }
}

// Layouts of every kind: four bytes with a fill byte, in two orders; three bytes with low bits
// dropped; three bytes with no byte of the triple at all.
const TripleBytes arrange_layouts[] = {
    {4, {0, 1, 2, TripleBytes::none_of_triple}, {0xFF, 0xFF, 0xFF, 0}, {0, 0, 0, 0xFF}},
    {4, {TripleBytes::none_of_triple, 2, 1, 0}, {0, 0xFF, 0xFF, 0xFF}, {0xFF, 0, 0, 0}},
    {3, {2, 1, 0, 0}, {0xFC, 0xFC, 0xFC, 0}, {0, 0, 0, 0}},
    {3, {1, TripleBytes::none_of_triple, 1, 0}, {0xF0, 0, 0x0F, 0}, {0, 0x5A, 1, 0}},
};

TEST_P(KernelPaths, ArrangesRowsOfEveryWidthAsTheScalarPathDoes) {
  for (const TripleBytes& layout : arrange_layouts) {
    for (std::size_t width = 1; width <= 64; ++width) {
      const std::size_t offset = width % 7;
      Placed triples{random_bytes(random_, offset + width * 3), offset};
      Placed out{Bytes(offset + 1 + width * layout.size), offset + 1};
      Bytes expected(width * layout.size);
      arrange_triples(triples.span().data(), width, layout, out.span().data());
      on_scalar([&] { arrange_triples(triples.span().data(), width, layout, expected.data()); });
      ASSERT_TRUE(std::ranges::equal(out.span(), expected)) << "width " << width << ", size " << layout.size;
    }
  }
}

TEST_P(KernelPaths, TakesTheLumaOfEveryTripleAsTheScalarPathDoes) {
  // One row per red value, holding every blue-green pair; then short rows for the steps' tails.
  Bytes rows(65536 * 3);
  Bytes out(65536);
  Bytes expected(65536);
  for (std::uint32_t red = 0; red < 256; ++red) {
    for (std::uint32_t pair = 0; pair < 65536; ++pair) {
      rows[3 * pair] = static_cast<std::uint8_t>(pair);
      rows[3 * pair + 1] = static_cast<std::uint8_t>(pair >> 8);
      rows[3 * pair + 2] = static_cast<std::uint8_t>(red);
    }
    luma_triples(rows.data(), 65536, out.data());
    on_scalar([&] { luma_triples(rows.data(), 65536, expected.data()); });
    ASSERT_EQ(out, expected) << "red " << red;
  }
  for (std::size_t width = 1; width <= 40; ++width) {
    const std::size_t offset = width % 5;
    Placed triples{random_bytes(random_, offset + width * 3), offset};
    Placed lumas{Bytes(offset + 2 + width), offset + 2};
    Bytes scalar(width);
    luma_triples(triples.span().data(), width, lumas.span().data());
    on_scalar([&] { luma_triples(triples.span().data(), width, scalar.data()); });
    ASSERT_TRUE(std::ranges::equal(lumas.span(), scalar)) << "width " << width;
  }
}

INSTANTIATE_TEST_SUITE_P(Vector, KernelPaths, testing::Values(KernelPath::sse2, KernelPath::ssse3, KernelPath::avx2),
                         [](const auto& path) { return std::string(kernel_path_name(path.param)); });

TEST(KernelDispatch, ChoosesAVectorPathWhenTheProcessorHasSse2) {
  if (!__builtin_cpu_supports("sse2")) GTEST_SKIP() << "no SSE2";
  EXPECT_NE(dispatched_kernel_path(), KernelPath::scalar);
  EXPECT_EQ(dispatched_kernel_path(), available_kernel_paths().back());
}

}  // namespace
