#include "containers/png_output.h"

#include <zlib.h>

#include <algorithm>
#include <cassert>
#include <climits>
#include <cstdlib>
#include <deque>
#include <future>
#include <new>
#include <system_error>
#include <thread>
#include <utility>

namespace {

constexpr std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::size_t chunk_limit = 64 * 1024;
// Level 6 is zlib's own default; filtered rows compress within a few per cent of level 9 there at
// several times its speed. A fixed level keeps the bytes the same everywhere.
constexpr int compression_level = 6;
// The zlib header of a 32 KiB window at level 6 (the default level's code), and deflate's window,
// which is what a segment primes the next one with.
constexpr std::uint8_t zlib_header[2] = {0x78, 0x9C};
constexpr std::size_t window_bytes = 32 * 1024;

void store_be32(std::uint8_t* at, std::uint32_t value) {
  at[0] = static_cast<std::uint8_t>(value >> 24);
  at[1] = static_cast<std::uint8_t>(value >> 16);
  at[2] = static_cast<std::uint8_t>(value >> 8);
  at[3] = static_cast<std::uint8_t>(value);
}

// A filtered byte's weight in the choice of filter: its distance from zero as a signed number.
inline unsigned weight(std::uint8_t filtered) {
  const int value = static_cast<std::int8_t>(filtered);
  return static_cast<unsigned>(value < 0 ? -value : value);
}

// The five filters of `count` samples whose left neighbours lie `back` bytes before them, into the
// rows of `out` after their type bytes; each filter's weight. The loops have no branches, so that
// the compiler makes them vector code. Paeth predicts the neighbour, of left, above and upper left,
// nearest to left + above - upper left; ties go to left, then above.
void filter_row(const std::uint8_t* now, const std::uint8_t* up, std::size_t count, std::size_t back,
                std::vector<std::uint8_t> (&out)[5], unsigned long long (&weights)[5]) {
  std::uint8_t* const none = out[0].data() + 1;
  std::uint8_t* const sub = out[1].data() + 1;
  std::uint8_t* const above = out[2].data() + 1;
  std::uint8_t* const average = out[3].data() + 1;
  std::uint8_t* const paeth = out[4].data() + 1;
  // Rows are cut in runs whose weights fit 32 bits, so that the sums vectorise too.
  for (std::size_t start = 0; start < count; start += 1 << 20) {
    const std::size_t end = std::min(count, start + (std::size_t{1} << 20));
    unsigned sums[5] = {};
    for (std::size_t i = start; i < end; ++i) {
      none[i] = now[i];
      sums[0] += weight(now[i]);
    }
    for (std::size_t i = start; i < end; ++i) {
      sub[i] = static_cast<std::uint8_t>(now[i] - now[i - back]);
      sums[1] += weight(sub[i]);
    }
    for (std::size_t i = start; i < end; ++i) {
      above[i] = static_cast<std::uint8_t>(now[i] - up[i]);
      sums[2] += weight(above[i]);
    }
    for (std::size_t i = start; i < end; ++i) {
      average[i] = static_cast<std::uint8_t>(now[i] - ((now[i - back] + up[i]) >> 1));
      sums[3] += weight(average[i]);
    }
    for (std::size_t i = start; i < end; ++i) {
      const int left = now[i - back], over = up[i], corner = up[i - back];
      const int to_left = std::abs(over - corner), to_over = std::abs(left - corner),
                to_corner = std::abs(left + over - 2 * corner);
      const int predicted = to_left <= to_over && to_left <= to_corner ? left : to_over <= to_corner ? over : corner;
      paeth[i] = static_cast<std::uint8_t>(now[i] - predicted);
      sums[4] += weight(paeth[i]);
    }
    for (int f = 0; f < 5; ++f) weights[f] += sums[f];
  }
}

// One segment of the stream: its filtered rows, compressed as raw deflate blocks primed with the
// rows before it, ended on a byte unless it is the last; and the rows' Adler-32, to combine.
struct Compressed {
  std::vector<std::uint8_t> bytes;
  uLong adler = 1;
  std::size_t length = 0;
  bool ok = false;
};

Compressed compress_segment(std::vector<std::uint8_t> rows, std::vector<std::uint8_t> primer, bool last) {
  Compressed result;
  result.length = rows.size();
  z_stream stream{};
  // The window and memory levels are zlib's defaults, written out so that they cannot drift.
  if (deflateInit2(&stream, compression_level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return result;
  struct End {
    z_stream& stream;
    ~End() { deflateEnd(&stream); }
  } end{stream};
  if (!primer.empty() && deflateSetDictionary(&stream, primer.data(), static_cast<uInt>(primer.size())) != Z_OK)
    return result;
  try {
    const std::uint8_t* next = rows.data();
    std::size_t left = rows.size();
    result.bytes.resize(std::max<std::size_t>(1024, left / 2));
    std::size_t used = 0;
    for (;;) {
      // zlib counts in 32 bits: a longer segment (one very long row) goes in pieces.
      const std::size_t piece = std::min<std::size_t>(left, UINT_MAX);
      const bool final_piece = piece == left;
      stream.next_in = const_cast<Bytef*>(next);  // zlib's interface is not const, but only reads
      stream.avail_in = static_cast<uInt>(piece);
      for (;;) {
        if (used == result.bytes.size()) result.bytes.resize(result.bytes.size() * 2);
        const std::size_t room = std::min<std::size_t>(result.bytes.size() - used, UINT_MAX);
        stream.next_out = result.bytes.data() + used;
        stream.avail_out = static_cast<uInt>(room);
        const int flush = !final_piece ? Z_NO_FLUSH : last ? Z_FINISH : Z_SYNC_FLUSH;
        const int code = deflate(&stream, flush);
        // Z_BUF_ERROR only says that no progress was possible, which is no fault here.
        if (code == Z_STREAM_ERROR) return result;
        used += room - stream.avail_out;
        if (code == Z_STREAM_END) break;
        // Room to spare once deflate has taken the input and, when flushing, written all it had.
        if (stream.avail_out != 0 && stream.avail_in == 0) break;
      }
      result.adler = adler32_z(result.adler, next, piece);
      next += piece;
      left -= piece;
      if (left == 0) break;
    }
    result.bytes.resize(used);
  } catch (const std::bad_alloc&) {
    return result;
  }
  result.ok = true;
  return result;
}

}  // namespace

// The segments on their way: the rows gathered for the next one, and the ones being compressed,
// oldest first, at most one a core.
struct PngOutput::Segments {
  std::vector<std::uint8_t> rows;
  std::vector<std::uint8_t> primer;
  std::deque<std::future<Compressed>> compressing;
  std::size_t cores = 1;
  uLong adler = 1;
  bool failed = false;
};

std::optional<PngOutput> PngOutput::begin(std::uint32_t width, std::uint32_t height, PngColour colour,
                                          std::size_t segment_bytes) {
  if (width == 0 || height == 0 || width > INT32_MAX || height > INT32_MAX) return std::nullopt;
  const std::size_t channels = colour == PngColour::rgba ? 4 : 3;
  if (width > (SIZE_MAX - 1) / channels - 1) return std::nullopt;
  PngOutput png;
  png.width_ = width;
  png.rows_left_ = height;
  png.channels_ = channels;
  png.segment_bytes_ = std::max<std::size_t>(segment_bytes, 1);
  try {
    const std::size_t samples = std::size_t{width} * channels;
    png.row_.assign(channels + samples, 0);
    png.above_.assign(channels + samples, 0);
    for (std::uint8_t type = 0; type < 5; ++type) png.filtered_[type].assign(1 + samples, type);
    png.segments_ = std::make_unique<Segments>();
    png.segments_->cores = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
    png.segments_->rows.reserve(std::min<std::size_t>(png.segment_bytes_, std::size_t{64} << 20) + 1 + samples);
    png.chunk_.assign(chunk_limit, 0);
    png.pending_.reserve(chunk_limit + 64);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }

  png.pending_.insert(png.pending_.end(), std::begin(signature), std::end(signature));
  std::uint8_t header[13] = {};
  store_be32(header, width);
  store_be32(header + 4, height);
  header[8] = 8;  // bits a sample
  header[9] = static_cast<std::uint8_t>(colour);
  // header[10..12]: deflate, adaptive filtering, no interlace: all zero.
  png.add_chunk("IHDR", header);
  png.add_stream_bytes(zlib_header);
  return png;
}

PngOutput::PngOutput(PngOutput&&) noexcept = default;
PngOutput& PngOutput::operator=(PngOutput&&) noexcept = default;
// The segments still being compressed are waited for: a future of std::async waits as it goes.
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
  unsigned long long weights[5] = {};
  filter_row(row_.data() + channels_, above_.data() + channels_, std::size_t{width_} * channels_, channels_, filtered_,
             weights);
  const std::size_t chosen = static_cast<std::size_t>(std::min_element(weights, weights + 5) - weights);
  if (segments_->failed) return false;
  try {
    segments_->rows.insert(segments_->rows.end(), filtered_[chosen].begin(), filtered_[chosen].end());
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (segments_->rows.size() >= segment_bytes_ && rows_left_ > 0) return cut_segment(false);
  return true;
}

bool PngOutput::finish() {
  assert(rows_left_ == 0);
  if (!cut_segment(true)) return false;
  std::uint8_t trailer[4];
  store_be32(trailer, static_cast<std::uint32_t>(segments_->adler));
  add_stream_bytes(trailer);
  if (chunk_used_ != 0) add_chunk("IDAT", {chunk_.data(), chunk_used_});
  chunk_used_ = 0;
  add_chunk("IEND", {});
  return true;
}

bool PngOutput::cut_segment(bool last) {
  Segments& segments = *segments_;
  const auto take_oldest = [&] {
    Compressed done = segments.compressing.front().get();
    segments.compressing.pop_front();
    if (!done.ok) return false;
    segments.adler = adler32_combine(segments.adler, done.adler, static_cast<z_off_t>(done.length));
    add_stream_bytes(done.bytes);
    return true;
  };
  try {
    std::vector<std::uint8_t> primer = std::move(segments.primer);
    const std::size_t kept = std::min(segments.rows.size(), window_bytes);
    segments.primer.assign(segments.rows.end() - static_cast<std::ptrdiff_t>(kept), segments.rows.end());
    std::vector<std::uint8_t> rows = std::move(segments.rows);
    segments.rows = {};
    if (!last) segments.rows.reserve(rows.capacity());
    // One segment a core at most; on one core the segment is compressed here and now.
    while (segments.compressing.size() >= segments.cores) {
      if (!take_oldest()) return !(segments.failed = true);
    }
    const std::launch policy = segments.cores > 1 ? std::launch::async : std::launch::deferred;
    segments.compressing.push_back(std::async(policy, compress_segment, std::move(rows), std::move(primer), last));
  } catch (const std::bad_alloc&) {
    return !(segments.failed = true);
  } catch (const std::system_error&) {
    // No thread to be had: the segment cannot start, and the picture fails as for lack of memory.
    return !(segments.failed = true);
  }
  if (last) {
    while (!segments.compressing.empty()) {
      if (!take_oldest()) return !(segments.failed = true);
    }
  } else {
    // Take in what is ready already, so that the file's bytes come out as they are made.
    while (!segments.compressing.empty() &&
           segments.compressing.front().wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
      if (!take_oldest()) return !(segments.failed = true);
    }
  }
  return true;
}

void PngOutput::add_stream_bytes(std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const std::size_t taken = std::min(bytes.size(), chunk_.size() - chunk_used_);
    std::copy_n(bytes.begin(), taken, chunk_.begin() + static_cast<std::ptrdiff_t>(chunk_used_));
    chunk_used_ += taken;
    bytes = bytes.subspan(taken);
    if (chunk_used_ == chunk_.size()) {
      add_chunk("IDAT", chunk_);
      chunk_used_ = 0;
    }
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
