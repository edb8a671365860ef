#include "pixels/subtract_words.h"

#include <cassert>

#include "pixels/kernels.h"
#include "pixels/little_endian.h"

void subtract_words_scalar(std::uint8_t* image, const std::uint8_t* sub, std::size_t count) {
  for (std::size_t at = 0; at < count * 4; at += 4) store_le32(image + at, load_le32(image + at) - load_le32(sub + at));
}

void subtract_words(std::span<std::uint8_t> image, std::span<const std::uint8_t> sub) {
  assert(sub.size() >= image.size());
  if (image.size() >= 4) active_kernels().subtract_words(image.data(), sub.data(), image.size() / 4);
}
