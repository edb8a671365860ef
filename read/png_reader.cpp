#include "read/png_reader.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cassert>
#include <cstring>
#include <new>
#include <string>
#include <utility>

#include "codecs/image_codecs.h"
#include "files/view_access.h"
#include "pixels/pixels.h"

namespace {

constexpr std::array<std::uint8_t, 8> signature{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

constexpr std::uint32_t chunk_type(const char (&name)[5]) {
  return std::uint32_t{static_cast<std::uint8_t>(name[0])} << 24 |
         std::uint32_t{static_cast<std::uint8_t>(name[1])} << 16 |
         std::uint32_t{static_cast<std::uint8_t>(name[2])} << 8 | std::uint32_t{static_cast<std::uint8_t>(name[3])};
}

constexpr std::uint32_t ihdr = chunk_type("IHDR");
constexpr std::uint32_t plte = chunk_type("PLTE");
constexpr std::uint32_t idat = chunk_type("IDAT");
constexpr std::uint32_t iend = chunk_type("IEND");
constexpr std::uint32_t trns = chunk_type("tRNS");
constexpr std::uint32_t exif_chunk = chunk_type("eXIf");

// Compressed pixels are read this much at a time.
constexpr std::size_t input_bytes = std::size_t{64} << 10;

std::uint32_t load_be32(const std::uint8_t* bytes) {
  return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 | std::uint32_t{bytes[2]} << 8 | bytes[3];
}

std::string name_of(std::uint32_t type) {
  return {static_cast<char>(type >> 24), static_cast<char>(type >> 16 & 0xFF), static_cast<char>(type >> 8 & 0xFF),
          static_cast<char>(type & 0xFF)};
}

bool is_letter(std::uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// A chunk whose name starts with a capital letter must be understood to read the picture.
bool critical(std::uint32_t type) { return (type & 0x20000000) == 0; }

std::uint32_t crc_of_type(std::uint32_t type) {
  const std::uint8_t name[4] = {static_cast<std::uint8_t>(type >> 24), static_cast<std::uint8_t>(type >> 16),
                                static_cast<std::uint8_t>(type >> 8), static_cast<std::uint8_t>(type)};
  return static_cast<std::uint32_t>(crc32(0, name, 4));
}

Failure damaged(const std::string& what) { return Failure{Fault::cannot_open, "the PNG is damaged: " + what}; }
Failure cut_short() { return Failure{Fault::cannot_open, "the PNG is cut short"}; }
Failure inflate_failure(const z_stream& stream, int result) {
  // zlib gives no message of its own for a preset dictionary, which a PNG's stream may not ask for.
  if (result == Z_NEED_DICT)
    return damaged("its pixel data asks for a preset dictionary, which a PNG's compressed data may not use");
  return damaged(std::string("its pixel data cannot be inflated: ") +
                 (stream.msg != nullptr ? stream.msg : "zlib error " + std::to_string(result)));
}

constexpr char rows_do_not_fit[] = "the PNG's rows do not fit in memory";

// The bit depths each colour type takes, as bits 1, 2, 4, 8 and 16 of a mask.
bool depth_allowed(std::uint8_t colour_type, std::uint8_t depth) {
  switch (colour_type) {
    case 0:
      return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case 3:
      return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case 2:
    case 4:
    case 6:
      return depth == 8 || depth == 16;
    default:
      return false;
  }
}

std::uint8_t channels_of(std::uint8_t colour_type) {
  switch (colour_type) {
    case 2:
      return 3;
    case 4:
      return 2;
    case 6:
      return 4;
    default:
      return 1;
  }
}

struct Adam7Pass {
  std::uint32_t x0, y0, dx, dy;
};
constexpr Adam7Pass adam7[7] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};

std::uint32_t pass_extent(std::uint32_t size, std::uint32_t start, std::uint32_t step) {
  return size > start ? (size - start + step - 1) / step : 0;
}

}  // namespace

bool has_png_signature(std::span<const std::uint8_t> bytes) {
  return bytes.size() >= signature.size() && std::equal(signature.begin(), signature.end(), bytes.begin());
}

struct PngReader::Inflater {
  z_stream stream{};
  bool ended = false;

  Inflater() {
    if (inflateInit(&stream) != Z_OK) throw std::bad_alloc();
  }
  // A copy of `from`'s state, window and all.
  explicit Inflater(const Inflater& from, bool) : ended(from.ended) {
    if (inflateCopy(&stream, const_cast<z_stream*>(&from.stream)) != Z_OK) throw std::bad_alloc();
  }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;
  ~Inflater() { inflateEnd(&stream); }
};

PngReader::PngReader(ByteWindows& bytes) : bytes_(&bytes) {}
PngReader::PngReader(PngReader&&) noexcept = default;
PngReader& PngReader::operator=(PngReader&&) noexcept = default;
PngReader::~PngReader() = default;

std::optional<Failure> PngReader::read_bytes(std::uint64_t offset, std::span<std::uint8_t> into) {
  std::optional<Failure> failed = bytes_->copy(offset, into);
  if (failed && !failed->error && failed->reason == past_the_end_reason) return cut_short();
  return failed;
}

std::variant<std::monostate, PngReader, Failure> PngReader::open(ByteWindows& bytes, std::uint64_t pixel_limit) {
  std::array<std::uint8_t, 8> start{};
  if (bytes.size() < start.size()) return std::monostate();
  if (std::optional<Failure> failed = bytes.copy(0, start)) return std::move(*failed);
  if (!has_png_signature(start)) return std::monostate();
  PngReader reader(bytes);
  if (std::optional<Failure> failed = reader.read_header(pixel_limit)) return std::move(*failed);
  return reader;
}

std::optional<Failure> PngReader::chunk_start(std::uint32_t& length, std::uint32_t& type) {
  std::uint8_t start[8];
  if (std::optional<Failure> failed = read_bytes(place_.pos, start)) return failed;
  length = load_be32(start);
  type = load_be32(start + 4);
  if (!std::all_of(start + 4, start + 8, is_letter)) return damaged("a chunk's name is not four letters");
  if (length > 0x7FFFFFFFu) return damaged("chunk " + name_of(type) + " declares a length past 2^31 - 1");
  // The whole chunk, its CRC included, must lie in the file.
  if (bytes_->size() - place_.pos < std::uint64_t{12} + length) return cut_short();
  place_.pos += 8;
  return std::nullopt;
}

std::optional<Failure> PngReader::chunk_rest(std::uint32_t length, std::uint32_t type, std::vector<std::uint8_t>* kept,
                                             std::uint32_t keep) {
  std::uint32_t crc = crc_of_type(type);
  if (std::optional<Failure> failed = within_memory(rows_do_not_fit, [&] {
        if (kept != nullptr) kept->assign(std::min(length, keep), 0);
      }))
    return std::move(*failed);
  std::array<std::uint8_t, 4096> piece;
  for (std::uint32_t done = 0; done < length;) {
    const std::uint32_t n = std::min<std::uint32_t>(length - done, piece.size());
    if (std::optional<Failure> failed = read_bytes(place_.pos, {piece.data(), n})) return failed;
    crc = static_cast<std::uint32_t>(crc32(crc, piece.data(), n));
    if (kept != nullptr && done < kept->size())
      std::copy_n(piece.begin(), std::min<std::size_t>(n, kept->size() - done), kept->begin() + done);
    place_.pos += n;
    done += n;
  }
  std::uint8_t stored[4];
  if (std::optional<Failure> failed = read_bytes(place_.pos, stored)) return failed;
  place_.pos += 4;
  if (load_be32(stored) != crc) return damaged("chunk " + name_of(type) + " fails its CRC check");
  return std::nullopt;
}

std::uint64_t PngReader::raw_row_bytes(std::uint32_t pixels) const {
  return (std::uint64_t{pixels} * channels_ * depth_ + 7) / 8;
}

std::optional<Failure> PngReader::read_header(std::uint64_t pixel_limit) {
  place_.pos = signature.size();
  std::uint32_t length = 0, type = 0;
  if (std::optional<Failure> failed = chunk_start(length, type)) return failed;
  if (type != ihdr || length != 13) return damaged("it does not start with its 13-byte IHDR chunk");
  std::vector<std::uint8_t> header;
  if (std::optional<Failure> failed = chunk_rest(length, type, &header, 13)) return failed;
  width_ = load_be32(header.data());
  height_ = load_be32(header.data() + 4);
  depth_ = header[8];
  colour_type_ = header[9];
  channels_ = channels_of(colour_type_);
  if (width_ == 0 || height_ == 0 || width_ > 0x7FFFFFFFu || height_ > 0x7FFFFFFFu)
    return damaged("its IHDR declares " + std::to_string(width_) + " x " + std::to_string(height_) + " pixels");
  if (!depth_allowed(colour_type_, depth_))
    return damaged("its IHDR declares colour type " + std::to_string(colour_type_) + " at " + std::to_string(depth_) +
                   " bits, which the format does not have");
  if (header[10] != 0 || header[11] != 0)
    return damaged("its IHDR declares compression method " + std::to_string(header[10]) + " and filter method " +
                   std::to_string(header[11]) + "; the format has only 0");
  if (header[12] > 1) return damaged("its IHDR declares interlace method " + std::to_string(header[12]));
  interlaced_ = header[12] == 1;
  if (std::optional<Failure> over = over_limit(width_, height_, pixel_limit))
    return Failure{Fault::unsupported, over->reason};
  if (!raw_image_size(width_, height_))
    return Failure{Fault::unsupported, std::to_string(width_) + " x " + std::to_string(height_) +
                                           " pixels: the raw image would not fit 4 GiB"};

  std::vector<std::uint8_t> transparency;
  bool has_transparency = false;
  for (;;) {
    const std::uint64_t chunk_at = place_.pos;
    if (std::optional<Failure> failed = chunk_start(length, type)) return failed;
    if (type == idat) {
      idat_start_ = chunk_at;
      break;
    }
    if (type == iend) return damaged("it ends before any pixel data (IDAT)");
    std::vector<std::uint8_t>* kept = nullptr;
    std::uint32_t keep = 0;
    if (type == plte) {
      if (colour_type_ == 0 || colour_type_ == 4) return damaged("a grey picture has a palette (PLTE)");
      if (!palette_.empty()) return damaged("it has a second palette (PLTE)");
      if (length == 0 || length % 3 != 0 || length > 768)
        return damaged("its palette (PLTE) is " + std::to_string(length) + " bytes long");
      kept = &palette_;
      keep = length;
    } else if (type == trns) {
      kept = &transparency;
      keep = 256;
      has_transparency = true;
    } else if (type == exif_chunk && exif_.empty() && length <= max_exif_bytes) {
      kept = &exif_;
      keep = length;
    } else if (critical(type)) {
      if (type == ihdr) return damaged("it has a second IHDR chunk");
      return damaged("it has a critical chunk " + name_of(type) + " that is not known");
    }
    if (std::optional<Failure> failed = chunk_rest(length, type, kept, keep)) return failed;
  }
  if (colour_type_ == 3 && palette_.empty()) return damaged("a palette picture has no palette (PLTE)");

  // A tRNS chunk that does not fit the picture is ignored, as any ancillary chunk may be.
  if (has_transparency) {
    if (colour_type_ == 3 && transparency.size() <= palette_.size() / 3) {
      palette_alpha_ = transparency;
    } else if (colour_type_ == 0 && transparency.size() == 2) {
      key_[0] = static_cast<std::uint16_t>(transparency[0] << 8 | transparency[1]);
    } else if (colour_type_ == 2 && transparency.size() == 6) {
      for (int k = 0; k < 3; ++k)
        key_[k] = static_cast<std::uint16_t>(transparency[2 * k] << 8 | transparency[2 * k + 1]);
    }
  }
  if (std::optional<Failure> failed = allocate_rows(width_)) return failed;
  if (std::optional<Failure> failed = within_memory(rows_do_not_fit, [&] { inflater_ = std::make_unique<Inflater>(); }))
    return std::move(*failed);
  return restart();
}

std::optional<Failure> PngReader::allocate_rows(std::uint32_t widest) {
  const std::uint64_t raw = raw_row_bytes(widest) + 1;
  // zlib counts what it writes in 32 bits; no picture a panel shows comes near such a row.
  if (raw > std::uint64_t{1} << 30)
    return Failure{Fault::unsupported, std::to_string(widest) + " pixels a row: a row of the PNG is over 1 GiB"};
  if (std::optional<Failure> failed = within_memory(rows_do_not_fit, [&] {
        row_.assign(static_cast<std::size_t>(raw), 0);
        previous_.assign(static_cast<std::size_t>(raw), 0);
        input_.resize(input_bytes);
      }))
    return std::move(*failed);
  return std::nullopt;
}

std::optional<Failure> PngReader::restart() {
  z_stream& stream = inflater_->stream;
  if (inflateReset(&stream) != Z_OK) return damaged("the compressed pixels cannot be read again");
  stream.next_in = nullptr;
  stream.avail_in = 0;
  inflater_->ended = false;
  place_ = Place{.pos = idat_start_};
  std::fill(previous_.begin(), previous_.end(), 0);
  return std::nullopt;
}

PngReader::Mark::Mark() = default;
PngReader::Mark::Mark(Mark&&) noexcept = default;
PngReader::Mark& PngReader::Mark::operator=(Mark&&) noexcept = default;
PngReader::Mark::~Mark() = default;

std::variant<PngReader::Mark, Failure> PngReader::mark() const {
  assert(!interlaced_ && inflater_ != nullptr);
  Mark mark;
  const z_stream& stream = inflater_->stream;
  if (std::optional<Failure> failed = within_memory("a mark in the PNG's pixel data does not fit in memory", [&] {
        mark.inflater_ = std::make_unique<Inflater>(*inflater_, true);
        mark.pending_.assign(stream.next_in, stream.next_in + stream.avail_in);
        mark.previous_ = previous_;
      }))
    return std::move(*failed);
  mark.place_ = place_;
  return mark;
}

std::optional<Failure> PngReader::resume(const Mark& mark) {
  std::unique_ptr<Inflater> copy;
  if (std::optional<Failure> failed = within_memory("the PNG's pixel data cannot be read on from a mark",
                                                    [&] { copy = std::make_unique<Inflater>(*mark.inflater_, true); }))
    return std::move(*failed);
  inflater_ = std::move(copy);
  // The input zlib had not taken yet goes back where it was read into.
  std::copy(mark.pending_.begin(), mark.pending_.end(), input_.begin());
  inflater_->stream.next_in = input_.data();
  inflater_->stream.avail_in = static_cast<uInt>(mark.pending_.size());
  std::copy(mark.previous_.begin(), mark.previous_.end(), previous_.begin());
  place_ = mark.place_;
  return std::nullopt;
}

std::variant<bool, Failure> PngReader::feed() {
  z_stream& stream = inflater_->stream;
  while (place_.idat_left == 0) {
    if (place_.idat_ended) return false;
    if (place_.in_idat) {
      std::uint8_t stored[4];
      if (std::optional<Failure> failed = read_bytes(place_.pos, stored)) return std::move(*failed);
      place_.pos += 4;
      if (load_be32(stored) != place_.idat_crc) return damaged("chunk IDAT fails its CRC check");
    }
    std::uint32_t length = 0, type = 0;
    if (std::optional<Failure> failed = chunk_start(length, type)) return std::move(*failed);
    if (type != idat) {
      place_.idat_ended = true;
      place_.in_idat = false;
      place_.after_length = length;
      place_.after_type = type;
      return false;
    }
    place_.in_idat = true;
    place_.idat_left = length;
    place_.idat_crc = crc_of_type(type);
  }
  const std::uint32_t n = std::min<std::uint32_t>(place_.idat_left, static_cast<std::uint32_t>(input_.size()));
  if (std::optional<Failure> failed = read_bytes(place_.pos, {input_.data(), n})) return std::move(*failed);
  place_.idat_crc = static_cast<std::uint32_t>(crc32(place_.idat_crc, input_.data(), n));
  place_.pos += n;
  place_.idat_left -= n;
  stream.next_in = input_.data();
  stream.avail_in = n;
  return true;
}

Failure PngReader::pixel_data_ended() {
  // Another IDAT further on: the pixel data was split by another chunk, not cut short.
  std::uint64_t at = place_.pos + std::uint64_t{place_.after_length} + 4;
  std::uint8_t start[8];
  while (at <= bytes_->size() && bytes_->size() - at >= 12 && !read_bytes(at, start)) {
    const std::uint32_t type = load_be32(start + 4);
    if (type == idat) return damaged("its IDAT chunks are not one after another");
    if (type == iend) break;
    at += std::uint64_t{12} + load_be32(start);
  }
  return damaged("its pixel data (IDAT) ends before the last row");
}

std::optional<Failure> PngReader::inflate_row(std::size_t raw_bytes) {
  z_stream& stream = inflater_->stream;
  if (inflater_->ended) return damaged("its pixel data (IDAT) ends before the last row");
  stream.next_out = row_.data();
  stream.avail_out = static_cast<uInt>(raw_bytes);
  while (stream.avail_out > 0) {
    if (stream.avail_in == 0) {
      std::variant<bool, Failure> fed = feed();
      if (Failure* failed = std::get_if<Failure>(&fed)) return std::move(*failed);
      if (!std::get<bool>(fed)) return pixel_data_ended();
    }
    const int result = inflate(&stream, Z_NO_FLUSH);
    if (result == Z_STREAM_END) {
      inflater_->ended = true;
      if (stream.avail_out > 0) return damaged("its pixel data (IDAT) ends before the last row");
    } else if (result != Z_OK && !(result == Z_BUF_ERROR && stream.avail_in == 0)) {
      return inflate_failure(stream, result);
    }
  }
  return std::nullopt;
}

std::optional<Failure> PngReader::unfilter(std::size_t raw_bytes) {
  std::uint8_t* x = row_.data() + 1;
  const std::uint8_t* above = previous_.data() + 1;
  const std::size_t n = raw_bytes - 1;
  const std::size_t step = std::max<std::size_t>(1, std::size_t{channels_} * depth_ / 8);
  switch (row_[0]) {
    case 0:
      break;
    case 1:
      for (std::size_t i = step; i < n; ++i) x[i] = static_cast<std::uint8_t>(x[i] + x[i - step]);
      break;
    case 2:
      for (std::size_t i = 0; i < n; ++i) x[i] = static_cast<std::uint8_t>(x[i] + above[i]);
      break;
    case 3:
      for (std::size_t i = 0; i < n; ++i) {
        const unsigned left = i >= step ? x[i - step] : 0;
        x[i] = static_cast<std::uint8_t>(x[i] + (left + above[i]) / 2);
      }
      break;
    case 4:
      for (std::size_t i = 0; i < n; ++i) {
        const int a = i >= step ? x[i - step] : 0;
        const int b = above[i];
        const int c = i >= step ? above[i - step] : 0;
        const int p = a + b - c;
        const int pa = p > a ? p - a : a - p;
        const int pb = p > b ? p - b : b - p;
        const int pc = p > c ? p - c : c - p;
        const int predicted = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
        x[i] = static_cast<std::uint8_t>(x[i] + predicted);
      }
      break;
    default:
      return damaged("a row has filter type " + std::to_string(row_[0]) + "; the filters are 0 to 4");
  }
  return std::nullopt;
}

std::optional<Failure> PngReader::to_quads(std::uint32_t count, std::uint8_t* quads) const {
  const std::uint8_t* raw = row_.data() + 1;
  const unsigned mask = depth_ == 16 ? 0xFFFF : (1u << depth_) - 1;
  const auto sample = [&](std::size_t index) -> unsigned {
    if (depth_ == 8) return raw[index];
    if (depth_ == 16) return unsigned{raw[2 * index]} << 8 | raw[2 * index + 1];
    const std::size_t bit = index * depth_;
    return raw[bit / 8] >> (8 - depth_ - bit % 8) & mask;
  };
  const auto level = [&](unsigned v) -> std::uint8_t {
    if (depth_ == 8) return static_cast<std::uint8_t>(v);
    if (depth_ == 16) return static_cast<std::uint8_t>((v * 255 + 32767) / 65535);
    return static_cast<std::uint8_t>(v * 255 / mask);
  };
  const std::size_t entries = palette_.size() / 3;
  for (std::uint32_t x = 0; x < count; ++x, quads += 4) {
    std::uint8_t red = 0, green = 0, blue = 0, alpha = 255;
    const std::size_t at = std::size_t{x} * channels_;
    switch (colour_type_) {
      case 0: {
        const unsigned grey = sample(at);
        red = green = blue = level(grey);
        if (key_[0] && *key_[0] == grey) alpha = 0;
        break;
      }
      case 2: {
        const unsigned r = sample(at), g = sample(at + 1), b = sample(at + 2);
        red = level(r), green = level(g), blue = level(b);
        if (key_[0] && *key_[0] == r && *key_[1] == g && *key_[2] == b) alpha = 0;
        break;
      }
      case 3: {
        const unsigned index = sample(at);
        if (index >= entries)
          return damaged("a pixel names palette entry " + std::to_string(index) + " of a palette of " +
                         std::to_string(entries));
        red = palette_[index * 3], green = palette_[index * 3 + 1], blue = palette_[index * 3 + 2];
        if (index < palette_alpha_.size()) alpha = palette_alpha_[index];
        break;
      }
      case 4:
        red = green = blue = level(sample(at));
        alpha = level(sample(at + 1));
        break;
      default:
        red = level(sample(at)), green = level(sample(at + 1)), blue = level(sample(at + 2));
        alpha = level(sample(at + 3));
        break;
    }
    quads[0] = blue;
    quads[1] = green;
    quads[2] = red;
    quads[3] = alpha;
  }
  return std::nullopt;
}

std::optional<Failure> PngReader::finish() {
  z_stream& stream = inflater_->stream;
  const Failure too_long = damaged("its pixel data (IDAT) runs on past the last row");
  while (!inflater_->ended) {
    std::uint8_t scratch = 0;
    stream.next_out = &scratch;
    stream.avail_out = 1;
    if (stream.avail_in == 0) {
      std::variant<bool, Failure> fed = feed();
      if (Failure* failed = std::get_if<Failure>(&fed)) return std::move(*failed);
      if (!std::get<bool>(fed)) return damaged("its pixel data (IDAT) is cut short after the last row");
    }
    const int result = inflate(&stream, Z_NO_FLUSH);
    if (stream.avail_out == 0) return too_long;
    if (result == Z_STREAM_END) {
      inflater_->ended = true;
    } else if (result != Z_OK && !(result == Z_BUF_ERROR && stream.avail_in == 0)) {
      return inflate_failure(stream, result);
    }
  }
  // Nothing may follow the compressed pixels in the IDAT chunks.
  if (stream.avail_in != 0) return too_long;
  for (;;) {
    std::variant<bool, Failure> fed = feed();
    if (Failure* failed = std::get_if<Failure>(&fed)) return std::move(*failed);
    if (!std::get<bool>(fed)) break;
    return too_long;
  }
  std::uint32_t length = place_.after_length, type = place_.after_type;
  for (;;) {
    std::vector<std::uint8_t>* kept = nullptr;
    if (type == idat) return damaged("its IDAT chunks are not one after another");
    if (type == exif_chunk && exif_.empty() && length <= max_exif_bytes) kept = &exif_;
    if (critical(type) && type != iend)
      return damaged("chunk " + name_of(type) +
                     (type == ihdr || type == plte ? " comes after the pixel data" : " is critical but not known"));
    if (std::optional<Failure> failed = chunk_rest(length, type, kept, length)) return failed;
    if (type == iend) return std::nullopt;
    if (std::optional<Failure> failed = chunk_start(length, type)) return failed;
  }
}

std::variant<std::span<const std::uint8_t>, Failure> PngReader::next_rows(std::uint32_t count) {
  assert(!interlaced_ && count <= height_ - place_.next_row);
  const std::size_t quad_row = std::size_t{width_} * 4;
  if (std::optional<Failure> failed = within_memory(rows_do_not_fit, [&] { band_.resize(quad_row * count); }))
    return std::move(*failed);
  const std::size_t raw = static_cast<std::size_t>(raw_row_bytes(width_)) + 1;
  for (std::uint32_t k = 0; k < count; ++k) {
    if (std::optional<Failure> failed = inflate_row(raw)) return std::move(*failed);
    if (std::optional<Failure> failed = unfilter(raw)) return std::move(*failed);
    if (std::optional<Failure> failed = to_quads(width_, band_.data() + k * quad_row)) return std::move(*failed);
    std::swap(row_, previous_);
  }
  place_.next_row += count;
  if (place_.next_row == height_) {
    if (std::optional<Failure> failed = finish()) return std::move(*failed);
  }
  return std::span<const std::uint8_t>(band_.data(), quad_row * count);
}

std::optional<Failure> PngReader::read_whole(std::span<std::uint8_t> quads) {
  assert(quads.size() >= std::size_t{width_} * height_ * 4);
  if (std::optional<Failure> failed = restart()) return failed;
  const std::size_t quad_row = std::size_t{width_} * 4;
  if (!interlaced_) {
    const std::size_t raw = static_cast<std::size_t>(raw_row_bytes(width_)) + 1;
    for (std::uint32_t y = 0; y < height_; ++y) {
      if (std::optional<Failure> failed = inflate_row(raw)) return failed;
      if (std::optional<Failure> failed = unfilter(raw)) return failed;
      if (std::optional<Failure> failed = to_quads(width_, quads.data() + y * quad_row)) return failed;
      std::swap(row_, previous_);
    }
    return finish();
  }
  if (std::optional<Failure> failed = within_memory(rows_do_not_fit, [&] { band_.resize(quad_row); }))
    return std::move(*failed);
  for (const Adam7Pass& pass : adam7) {
    const std::uint32_t columns = pass_extent(width_, pass.x0, pass.dx);
    const std::uint32_t rows = pass_extent(height_, pass.y0, pass.dy);
    // A pass with no pixels has no rows in the data, not even their filter bytes.
    if (columns == 0 || rows == 0) continue;
    const std::size_t raw = static_cast<std::size_t>(raw_row_bytes(columns)) + 1;
    std::fill(previous_.begin(), previous_.end(), 0);
    for (std::uint32_t j = 0; j < rows; ++j) {
      if (std::optional<Failure> failed = inflate_row(raw)) return failed;
      if (std::optional<Failure> failed = unfilter(raw)) return failed;
      if (std::optional<Failure> failed = to_quads(columns, band_.data())) return failed;
      std::swap(row_, previous_);
      std::uint8_t* line = quads.data() + (std::size_t{pass.y0} + std::size_t{j} * pass.dy) * quad_row;
      for (std::uint32_t i = 0; i < columns; ++i)
        std::memcpy(line + (std::size_t{pass.x0} + std::size_t{i} * pass.dx) * 4, band_.data() + std::size_t{i} * 4, 4);
    }
  }
  return finish();
}
