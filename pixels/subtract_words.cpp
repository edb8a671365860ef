#include "pixels/subtract_words.h"

#include <algorithm>
#include <cassert>

#include "pixels/kernels.h"
#include "pixels/little_endian.h"

void subtract_words_scalar(std::uint8_t* out, const std::uint8_t* image, const std::uint8_t* sub, std::size_t count) {
  for (std::size_t at = 0; at < count * 4; at += 4) store_le32(out + at, load_le32(image + at) - load_le32(sub + at));
}

void subtract_words(std::span<std::uint8_t> image, std::span<const std::uint8_t> sub) {
  subtract_words(image, image, sub);
}

void subtract_words(std::span<std::uint8_t> out, std::span<const std::uint8_t> image,
                    std::span<const std::uint8_t> sub) {
  assert(sub.size() >= image.size() && out.size() == image.size());
  const std::size_t words = image.size() / 4;
  if (words > 0) active_kernels().subtract_words(out.data(), image.data(), sub.data(), words);
  if (out.data() != image.data()) std::copy(image.begin() + 4 * words, image.end(), out.begin() + 4 * words);
}
