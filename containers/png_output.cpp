#include "containers/png_output.h"

#include <zlib.h>

#include <algorithm>
#include <cassert>
#include <climits>
#include <cstdlib>
#include <new>
#include <utility>

namespace {

constexpr std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::size_t chunk_limit = 64 * 1024;
constexpr std::uint8_t paeth_filter = 4;
// Level 6 is zlib's own default; the filtered rows of a raw frame compress within a few per cent
// of level 9 there at several times its speed. A fixed level keeps the bytes the same everywhere.
constexpr int compression_level = 6;

void store_be32(std::uint8_t* at, std::uint32_t value) {
  at[0] = static_cast<std::uint8_t>(value >> 24);
  at[1] = static_cast<std::uint8_t>(value >> 16);
  at[2] = static_cast<std::uint8_t>(value >> 8);
  at[3] = static_cast<std::uint8_t>(value);
}

// The neighbour, of left, above and upper left, nearest to left + above - upper left; ties go to
// left, then above.
std::uint8_t paeth(int left, int above, int upper_left) {
  const int estimate = left + above - upper_left;
  const int to_left = std::abs(estimate - left), to_above = std::abs(estimate - above),
            to_upper_left = std::abs(estimate - upper_left);
  if (to_left <= to_above && to_left <= to_upper_left) return static_cast<std::uint8_t>(left);
  if (to_above <= to_upper_left) return static_cast<std::uint8_t>(above);
  return static_cast<std::uint8_t>(upper_left);
}

}  // namespace

struct PngOutput::Deflate {
  z_stream stream{};
  bool open = false;
  ~Deflate() {
    if (open) deflateEnd(&stream);
  }
};

std::optional<PngOutput> PngOutput::begin(std::uint32_t width, std::uint32_t height, PngColour colour) {
  if (width == 0 || height == 0 || width > INT32_MAX || height > INT32_MAX) return std::nullopt;
  const std::size_t channels = colour == PngColour::rgba ? 4 : 3;
  if (width > (SIZE_MAX - 1) / channels - 1) return std::nullopt;
  PngOutput png;
  png.width_ = width;
  png.rows_left_ = height;
  png.channels_ = channels;
  try {
    png.deflate_ = std::make_unique<Deflate>();
    const std::size_t samples = std::size_t{width} * channels;
    png.row_.assign(channels + samples, 0);
    png.above_.assign(channels + samples, 0);
    png.filtered_.assign(1 + samples, 0);
    png.chunk_.assign(chunk_limit, 0);
    png.pending_.reserve(chunk_limit + 64);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  // The window and memory levels are zlib's defaults, written out so that they cannot drift.
  if (deflateInit2(&png.deflate_->stream, compression_level, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    return std::nullopt;
  png.deflate_->open = true;

  png.pending_.insert(png.pending_.end(), std::begin(signature), std::end(signature));
  std::uint8_t header[13] = {};
  store_be32(header, width);
  store_be32(header + 4, height);
  header[8] = 8;  // bits a sample
  header[9] = static_cast<std::uint8_t>(colour);
  // header[10..12]: deflate, adaptive filtering, no interlace: all zero.
  png.add_chunk("IHDR", header);
  return png;
}

PngOutput::PngOutput(PngOutput&&) noexcept = default;
PngOutput& PngOutput::operator=(PngOutput&&) noexcept = default;
PngOutput::~PngOutput() = default;

bool PngOutput::add_row(const std::uint8_t* pixels) {
  assert(rows_left_ > 0);
  --rows_left_;
  std::swap(row_, above_);
  std::uint8_t* samples = row_.data() + channels_;
  if (channels_ == 3) {
    for (std::uint32_t x = 0; x < width_; ++x, pixels += 3, samples += 3)
      samples[0] = pixels[2], samples[1] = pixels[1], samples[2] = pixels[0];
  } else {
    for (std::uint32_t x = 0; x < width_; ++x, pixels += 4, samples += 4)
      samples[0] = pixels[2], samples[1] = pixels[1], samples[2] = pixels[0], samples[3] = pixels[3];
  }
  // Neighbours at the same offsets in all three rows: left is `channels_` bytes back, which the
  // zeros in front of each row make zero for the first pixel.
  const std::uint8_t* now = row_.data() + channels_;
  const std::uint8_t* up = above_.data() + channels_;
  const std::size_t count = std::size_t{width_} * channels_;
  filtered_[0] = paeth_filter;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t predicted = paeth(now[i - channels_], up[i], up[i - channels_]);
    filtered_[1 + i] = static_cast<std::uint8_t>(now[i] - predicted);
  }
  return deflate_into_chunks(filtered_.data(), filtered_.size(), false);
}

bool PngOutput::finish() {
  assert(rows_left_ == 0);
  if (!deflate_into_chunks(nullptr, 0, true)) return false;
  if (chunk_used_ != 0) add_chunk("IDAT", {chunk_.data(), chunk_used_});
  chunk_used_ = 0;
  add_chunk("IEND", {});
  return true;
}

bool PngOutput::deflate_into_chunks(const std::uint8_t* bytes, std::size_t size, bool last) {
  z_stream& stream = deflate_->stream;
  // A row longer than zlib's 32-bit counts goes in pieces.
  std::size_t left = size;
  for (;;) {
    const std::size_t piece = std::min<std::size_t>(left, UINT_MAX);
    stream.next_in = const_cast<Bytef*>(bytes);  // zlib's interface is not const, but only reads
    stream.avail_in = static_cast<uInt>(piece);
    const bool finishing = last && piece == left;
    for (;;) {
      stream.next_out = chunk_.data() + chunk_used_;
      stream.avail_out = static_cast<uInt>(chunk_.size() - chunk_used_);
      const int result = deflate(&stream, finishing ? Z_FINISH : Z_NO_FLUSH);
      // Z_BUF_ERROR only says that no progress was possible, which is no fault here.
      if (result == Z_STREAM_ERROR) return false;
      chunk_used_ = chunk_.size() - stream.avail_out;
      if (chunk_used_ == chunk_.size()) {
        add_chunk("IDAT", chunk_);
        chunk_used_ = 0;
        continue;
      }
      // Room to spare: deflate took all the input, and with Z_FINISH wrote all it had.
      if (!finishing || result == Z_STREAM_END) break;
    }
    bytes += piece;
    left -= piece;
    if (left == 0) return true;
  }
}

void PngOutput::add_chunk(const char* type, std::span<const std::uint8_t> data) {
  const std::size_t at = pending_.size();
  pending_.resize(at + 12 + data.size());
  std::uint8_t* chunk = pending_.data() + at;
  store_be32(chunk, static_cast<std::uint32_t>(data.size()));
  std::copy_n(type, 4, chunk + 4);
  std::copy(data.begin(), data.end(), chunk + 8);
  // The CRC covers the type and the data, not the length.
  const uLong crc = crc32(0, chunk + 4, static_cast<uInt>(4 + data.size()));
  store_be32(chunk + 8 + data.size(), static_cast<std::uint32_t>(crc));
}
