// Orvane's word loop, here beside the pixel kernels because it shares their choice of instruction
// set.
#pragma once

#include <cstdint>
#include <span>

// Every whole 32-bit little-endian word of `image` minus the word at the same offset of `sub`,
// modulo 2^32; a borrow never passes from one word into the next. The last 1 to 3 bytes of an image
// whose length is not a multiple of 4 are left as they are. `sub` holds at least image.size() bytes.
void subtract_words(std::span<std::uint8_t> image, std::span<const std::uint8_t> sub);

// The same difference into `out`, as long as `image`, leaving `image` as it is; the last 1 to 3
// bytes are copied.
void subtract_words(std::span<std::uint8_t> out, std::span<const std::uint8_t> image,
                    std::span<const std::uint8_t> sub);
