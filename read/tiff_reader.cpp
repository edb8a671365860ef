#include "read/tiff_reader.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

namespace {

constexpr std::uint32_t no_compression = 1, lzw = 5, deflate_compression = 8, old_deflate_compression = 32946,
                        packbits = 32773;

std::string strip_name(std::size_t strip) { return "strip " + std::to_string(strip + 1); }

Failure damaged(std::size_t strip, const std::string& why) {
  return Failure{Fault::cannot_open, "the TIFF is damaged: its " + strip_name(strip) + " " + why};
}

// The file's numbers in its own byte order, read only inside the file.
struct Numbers {
  std::span<const std::uint8_t> bytes;
  bool big_endian;

  bool holds(std::uint64_t at, std::uint64_t size) const { return at <= bytes.size() && size <= bytes.size() - at; }
  std::uint32_t u16(std::uint64_t at) const {
    const std::uint8_t* p = bytes.data() + at;
    return big_endian ? (std::uint32_t{p[0]} << 8 | p[1]) : (std::uint32_t{p[1]} << 8 | p[0]);
  }
  std::uint32_t u32(std::uint64_t at) const {
    return big_endian ? (u16(at) << 16 | u16(at + 2)) : (u16(at + 2) << 16 | u16(at));
  }
};

// One directory entry's values, SHORT or LONG; nullopt for another type, or values outside the file.
std::optional<std::vector<std::uint32_t>> values_of(const Numbers& file, std::uint64_t entry) {
  const std::uint32_t type = file.u16(entry + 2), count = file.u32(entry + 4);
  if (type != 3 && type != 4) return std::nullopt;
  const std::uint64_t size = type == 3 ? 2 : 4;
  const std::uint64_t at = size * count <= 4 ? entry + 8 : file.u32(entry + 8);
  if (!file.holds(at, size * count)) return std::nullopt;
  std::vector<std::uint32_t> values(count);
  for (std::uint32_t k = 0; k < count; ++k) values[k] = size == 2 ? file.u16(at + 2 * k) : file.u32(at + 4 * k);
  return values;
}

// TIFF's LZW: codes of 9 to 12 bits, high bit first, 256 to clear the table and 257 to end, each
// width taken one code early. Fills `out` whole, or says why it cannot.
std::optional<std::string> unlzw(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
  if (in.size() >= 2 && in[0] == 0 && (in[1] & 1) != 0)
    return "is compressed by the old, reversed LZW, which is not read";
  constexpr std::uint32_t clear = 256, end = 257, first_free = 258, most = 4096;
  std::array<std::uint16_t, most> prefix{};
  std::array<std::uint8_t, most> suffix{}, head{};
  std::array<std::uint16_t, most> length{};
  for (std::uint32_t c = 0; c < 256; ++c) {
    suffix[c] = head[c] = static_cast<std::uint8_t>(c);
    length[c] = 1;
  }
  std::uint64_t bit = 0;
  std::uint32_t width = 9, next = first_free, previous = most;
  std::size_t made = 0;
  // Writes the string of `code` at `made`, as much of it as fits.
  const auto emit = [&](std::uint32_t code) {
    const std::size_t size = length[code];
    for (std::size_t k = size; k-- > 0;) {
      if (made + k < out.size()) out[made + k] = suffix[code];
      code = prefix[code];
    }
    made += size;
  };
  while (made < out.size()) {
    if (bit + width > std::uint64_t{in.size()} * 8) return "ends early in its LZW codes";
    std::uint32_t code = 0;
    for (std::uint32_t k = 0; k < width; ++k, ++bit) code = code << 1 | ((in[bit / 8] >> (7 - bit % 8)) & 1u);
    if (code == end) break;
    if (code == clear) {
      width = 9;
      next = first_free;
      previous = most;
      continue;
    }
    if (previous == most) {
      if (code >= 256) return "starts its LZW codes with code " + std::to_string(code);
      emit(code);
      previous = code;
      continue;
    }
    if (code > next || (code == next && next == most))
      return "holds LZW code " + std::to_string(code) + " before it is made";
    if (next < most) {
      prefix[next] = static_cast<std::uint16_t>(previous);
      head[next] = head[previous];
      suffix[next] = code == next ? head[previous] : head[code];
      length[next] = static_cast<std::uint16_t>(length[previous] + 1);
      ++next;
    }
    emit(code);
    previous = code;
    if (next + 1 >= (1u << width) && width < 12) ++width;
  }
  if (made < out.size()) return "ends early in its LZW codes";
  return std::nullopt;
}

std::optional<std::string> unpackbits(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
  std::size_t from = 0, made = 0;
  while (made < out.size()) {
    if (from >= in.size()) return "ends early in its PackBits runs";
    const auto header = static_cast<std::int8_t>(in[from++]);
    if (header == -128) continue;
    if (header >= 0) {
      const std::size_t count = std::size_t(header) + 1;
      if (in.size() - from < count) return "ends early in its PackBits runs";
      const std::size_t kept = std::min(count, out.size() - made);
      std::memcpy(out.data() + made, in.data() + from, kept);
      from += count;
      made += kept;
    } else {
      if (from >= in.size()) return "ends early in its PackBits runs";
      const std::size_t count = std::min<std::size_t>(std::size_t(1 - header), out.size() - made);
      std::memset(out.data() + made, in[from++], count);
      made += count;
    }
  }
  return std::nullopt;
}

std::optional<std::string> inflate_strip(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) return "cannot be inflated";
  stream.next_in = const_cast<Bytef*>(in.data());
  stream.next_out = out.data();
  std::optional<std::string> failed;
  // zlib counts in 32 bits: a strip is fed and filled in pieces it can count.
  std::size_t fed = 0, filled = 0;
  int status = Z_OK;
  while (filled < out.size() && status == Z_OK) {
    const std::size_t feed = std::min<std::size_t>(in.size() - fed, 1u << 30);
    const std::size_t room = std::min<std::size_t>(out.size() - filled, 1u << 30);
    stream.next_in = const_cast<Bytef*>(in.data() + fed);
    stream.avail_in = static_cast<uInt>(feed);
    stream.next_out = out.data() + filled;
    stream.avail_out = static_cast<uInt>(room);
    status = inflate(&stream, Z_NO_FLUSH);
    fed += feed - stream.avail_in;
    filled += room - stream.avail_out;
    if (status == Z_BUF_ERROR && fed < in.size()) status = Z_OK;
  }
  if (filled < out.size())
    failed = status == Z_DATA_ERROR || status == Z_NEED_DICT ? "does not inflate: its Deflate data is damaged"
                                                             : "ends early in its Deflate data";
  inflateEnd(&stream);
  return failed;
}

}  // namespace

std::variant<std::monostate, TiffReader, Failure> TiffReader::open(std::span<const std::uint8_t> bytes,
                                                                   std::uint64_t pixel_limit) {
  if (bytes.size() < 8) return std::monostate{};
  const bool big = bytes[0] == 'M' && bytes[1] == 'M';
  if (!big && !(bytes[0] == 'I' && bytes[1] == 'I')) return std::monostate{};
  const Numbers file{bytes, big};
  if (file.u16(2) != 42) return std::monostate{};
  const std::uint64_t directory = file.u32(4);
  if (!file.holds(directory, 2) || !file.holds(directory + 2, 12 * std::uint64_t{file.u16(directory)}))
    return std::monostate{};

  // Each tag's values, or none; a tag whose values do not read leaves the file to the codecs.
  std::uint32_t width = 0, height = 0, photometric = 99, samples = 1, compression = no_compression;
  std::uint32_t rows_per_strip = UINT32_MAX, planar = 1, predictor = 1, fill_order = 1;
  std::vector<std::uint32_t> bits{1}, offsets, counts, extra, sample_format{1};
  bool tiled = false, readable = true;
  // The tags read: each into one number, or a list of them.
  const struct {
    std::uint32_t tag;
    std::uint32_t* one;
    std::vector<std::uint32_t>* list;
  } fields[] = {{256, &width, nullptr},       {257, &height, nullptr},       {258, nullptr, &bits},
                {259, &compression, nullptr}, {262, &photometric, nullptr},  {266, &fill_order, nullptr},
                {273, nullptr, &offsets},     {277, &samples, nullptr},      {278, &rows_per_strip, nullptr},
                {279, nullptr, &counts},      {284, &planar, nullptr},       {317, &predictor, nullptr},
                {338, nullptr, &extra},       {339, nullptr, &sample_format}};
  const std::uint32_t entries = file.u16(directory);
  for (std::uint32_t k = 0; k < entries; ++k) {
    const std::uint64_t entry = directory + 2 + 12 * std::uint64_t{k};
    const std::uint32_t tag = file.u16(entry);
    if (tag == 322) tiled = true;  // TileWidth
    for (const auto& field : fields) {
      if (field.tag != tag) continue;
      std::optional<std::vector<std::uint32_t>> values = values_of(file, entry);
      if (!values || (field.one != nullptr && values->size() != 1)) {
        readable = false;
      } else if (field.one != nullptr) {
        *field.one = values->front();
      } else {
        *field.list = std::move(*values);
      }
    }
  }
  // Grey or RGB with one alpha sample, associated or not, of 8 or 16 unsigned bits each, in
  // strips of whole pixels: anything else is the codecs'.
  const bool grey = photometric == 1 && samples == 2, colour = photometric == 2 && samples == 4;
  const bool alpha = extra.size() == 1 && (extra[0] == 1 || extra[0] == 2);
  const bool even_bits = bits.size() == samples && std::all_of(bits.begin(), bits.end(), [&](std::uint32_t b) {
                           return b == bits[0] && (b == 8 || b == 16);
                         });
  const bool unsigned_samples =
      std::all_of(sample_format.begin(), sample_format.end(), [](std::uint32_t f) { return f == 1; });
  const bool known_compression = compression == no_compression || compression == lzw ||
                                 compression == deflate_compression || compression == old_deflate_compression ||
                                 compression == packbits;
  if (!readable || tiled || !(grey || colour) || !alpha || !even_bits || !unsigned_samples || !known_compression ||
      planar != 1 || fill_order != 1 || (predictor != 1 && predictor != 2))
    return std::monostate{};

  const std::string size = std::to_string(width) + " x " + std::to_string(height) + " pixels";
  if (width == 0 || height == 0) return Failure{Fault::unsupported, "the TIFF declares " + size + ", none to read"};
  if (std::uint64_t{width} * height > pixel_limit)
    return Failure{Fault::unsupported, size + ", more than the " + std::to_string(pixel_limit) +
                                           " a compressed picture may have (--max-pixels raises the limit)"};
  const std::uint32_t rows = std::min(rows_per_strip == 0 ? height : rows_per_strip, height);
  const std::uint64_t strip_count = (std::uint64_t{height} + rows - 1) / rows;
  if (offsets.size() != strip_count || counts.size() != strip_count)
    return Failure{Fault::cannot_open, "the TIFF is damaged: its rows need " + std::to_string(strip_count) +
                                           " strips, and it lists " + std::to_string(offsets.size()) + " offsets and " +
                                           std::to_string(counts.size()) + " lengths"};
  TiffReader reader;
  reader.strips_.reserve(strip_count);
  for (std::size_t k = 0; k < strip_count; ++k) {
    if (!file.holds(offsets[k], counts[k]))
      return Failure{Fault::cannot_open, "the TIFF is cut short: its " + strip_name(k) + " lies past its end"};
    reader.strips_.push_back({offsets[k], counts[k]});
  }
  reader.bytes_ = bytes;
  reader.width_ = width;
  reader.height_ = height;
  reader.rows_per_strip_ = rows;
  reader.samples_ = samples;
  reader.bits_ = bits[0];
  reader.compression_ = compression;
  reader.big_endian_ = big;
  reader.predictor_ = predictor == 2;
  reader.associated_ = extra[0] == 1;
  return reader;
}

std::optional<Failure> TiffReader::read_whole(std::span<std::uint8_t> quads) const {
  const std::uint64_t sample_bytes = bits_ / 8;
  const std::uint64_t row_bytes = std::uint64_t{width_} * samples_ * sample_bytes;
  std::vector<std::uint8_t> strip;
  if (std::optional<Failure> failed = within_memory("the TIFF's strips do not fit in memory", [&] {
        strip.resize(row_bytes * rows_per_strip_);
        return std::optional<Failure>{};
      }))
    return failed;
  const Numbers order{strip, big_endian_};
  // A sample scaled to 8 bits, and a colour freed of associated alpha, each rounded once.
  const std::uint64_t top = bits_ == 16 ? 65535 : 255;
  const auto sample = [&](std::uint64_t at) -> std::uint64_t { return bits_ == 16 ? order.u16(at) : strip[at]; };
  const auto eight_bits = [&](std::uint64_t value) { return static_cast<std::uint8_t>((value * 255 + top / 2) / top); };
  // An associated colour divided by its alpha: 8-bit samples rounded down, as ImageMagick and Pillow
  // both divide them; 16-bit ones rounded to the nearest, as ImageMagick's 16-bit result rounds.
  const auto straight = [&](std::uint64_t value, std::uint64_t alpha) {
    if (!associated_) return eight_bits(value);
    if (alpha == 0) return std::uint8_t{0};
    const std::uint64_t divided = bits_ == 8 ? value * 255 / alpha : (value * 255 * 2 + alpha) / (2 * alpha);
    return static_cast<std::uint8_t>(std::min<std::uint64_t>(255, divided));
  };
  for (std::size_t k = 0; k < strips_.size(); ++k) {
    const std::uint32_t first_row = static_cast<std::uint32_t>(k) * rows_per_strip_;
    const std::uint32_t rows = std::min(rows_per_strip_, height_ - first_row);
    const std::span<std::uint8_t> out(strip.data(), row_bytes * rows);
    const std::span<const std::uint8_t> in = bytes_.subspan(strips_[k].offset, strips_[k].length);
    std::optional<std::string> failed;
    if (compression_ == no_compression) {
      if (in.size() < out.size())
        return damaged(k, "holds " + std::to_string(in.size()) + " bytes of its rows' " + std::to_string(out.size()));
      std::memcpy(out.data(), in.data(), out.size());
    } else if (compression_ == lzw) {
      failed = unlzw(in, out);
    } else if (compression_ == packbits) {
      failed = unpackbits(in, out);
    } else {
      failed = inflate_strip(in, out);
    }
    if (failed) return damaged(k, *failed);
    if (predictor_) {
      // Each sample after a row's first pixel is stored as its difference from the one a pixel left.
      for (std::uint32_t r = 0; r < rows; ++r) {
        std::uint8_t* row = out.data() + r * row_bytes;
        for (std::uint64_t s = samples_; s < std::uint64_t{width_} * samples_; ++s) {
          if (bits_ == 8) {
            row[s] = static_cast<std::uint8_t>(row[s] + row[s - samples_]);
          } else {
            const std::uint32_t sum =
                (order.u16(r * row_bytes + 2 * s) + order.u16(r * row_bytes + 2 * (s - samples_))) & 0xFFFF;
            row[2 * s] = static_cast<std::uint8_t>(big_endian_ ? sum >> 8 : sum);
            row[2 * s + 1] = static_cast<std::uint8_t>(big_endian_ ? sum : sum >> 8);
          }
        }
      }
    }
    for (std::uint32_t r = 0; r < rows; ++r) {
      std::uint8_t* quad = quads.data() + (std::uint64_t{first_row} + r) * width_ * 4;
      for (std::uint32_t x = 0; x < width_; ++x, quad += 4) {
        const std::uint64_t at = r * row_bytes + std::uint64_t{x} * samples_ * sample_bytes;
        const std::uint64_t a = sample(at + (samples_ - 1) * sample_bytes);
        if (samples_ == 2) {
          quad[0] = quad[1] = quad[2] = straight(sample(at), a);
        } else {
          quad[2] = straight(sample(at), a);
          quad[1] = straight(sample(at + sample_bytes), a);
          quad[0] = straight(sample(at + 2 * sample_bytes), a);
        }
        quad[3] = eight_bits(a);
      }
    }
  }
  return std::nullopt;
}
