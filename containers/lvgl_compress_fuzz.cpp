// Fuzz entry point of LVGL's RLE and LZ4 decoders, and of their encoders: the first byte chooses the
// method and RLE's block (1 to 4 bytes), the next two the decompressed length, and the rest is the
// compressed data. Whatever the bytes, decoding writes nothing past its output and reads nothing
// past its input; data that decodes encodes again into data that decodes to the same bytes; and the
// fuzzer's bytes themselves, compressed, come back as they were; and data that decodes gives the same
// bytes decoded in pieces, and again from a mark halfway. The same entry replays the saved
// inputs in the normal test suite, where assert() may be compiled out: the checks abort by
// themselves.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "containers/lvgl_compress.h"

namespace {

void require(bool holds) {
  if (!holds) std::abort();
}

std::optional<std::string> decompress(bool lz4, unsigned block, std::span<const std::uint8_t> in,
                                      std::vector<std::uint8_t>& out) {
  return lz4 ? lz4_decompress(in, out) : rle_decompress(in, block, out);
}

std::vector<std::uint8_t> compress(bool lz4, unsigned block, std::span<const std::uint8_t> data) {
  return lz4 ? lz4_compress(data) : rle_compress(data, block);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const bool lz4 = (data[0] & 0x04) != 0;
  const unsigned block = (data[0] & 0x03) + 1u;
  const std::size_t length = data[1] | (std::size_t{data[2]} << 8);
  const std::span<const std::uint8_t> in(data + 3, size - 3);

  std::vector<std::uint8_t> out(length);
  if (!decompress(lz4, block, in, out)) {
    std::vector<std::uint8_t> again(length);
    require(!decompress(lz4, block, compress(lz4, block, out), again) && again == out);
    LvglStream stream(lz4 ? LvglCompression::lz4 : LvglCompression::rle, block, in, length);
    std::vector<std::uint8_t> pieces(length);
    const std::size_t half = length / 2;
    require(!stream.next({pieces.data(), half}));
    const LvglStream::Mark mark = stream.mark();
    for (std::size_t at = half; at < length; ++at) require(!stream.next({pieces.data() + at, 1}));
    require(!stream.finish() && pieces == out);
    stream.resume(mark);
    require(!stream.next({pieces.data() + half, length - half}) && pieces == out);
  }
  std::vector<std::uint8_t> back(in.size());
  require(!decompress(lz4, block, compress(lz4, block, in), back) &&
          std::equal(back.begin(), back.end(), in.begin(), in.end()));
  return 0;
}
