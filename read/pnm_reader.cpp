#include "read/pnm_reader.h"

#include <string_view>
#include <utility>

namespace {

bool is_space(std::uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
bool is_digit(std::uint8_t c) { return c >= '0' && c <= '9'; }

// Reads the bytes of a PNM's header and its text samples, a field at a time.
class Fields {
 public:
  Fields(std::span<const std::uint8_t> bytes, std::uint64_t at) : bytes_(bytes), at_(at) {}
  std::uint64_t at() const { return at_; }

  // Whitespace and comments, up to the next field; false at the file's end.
  bool skip() {
    while (at_ < bytes_.size()) {
      const std::uint8_t c = bytes_[at_];
      if (c == '#') {
        while (at_ < bytes_.size() && bytes_[at_] != '\n' && bytes_[at_] != '\r') ++at_;
      } else if (is_space(c)) {
        ++at_;
      } else {
        return true;
      }
    }
    return false;
  }

  // A decimal number of at most 10 digits, up to UINT32_MAX; nullopt when there is none.
  std::optional<std::uint32_t> number() {
    if (!skip() || !is_digit(bytes_[at_])) return std::nullopt;
    std::uint64_t value = 0;
    int digits = 0;
    while (at_ < bytes_.size() && is_digit(bytes_[at_])) {
      if (++digits > 10) return std::nullopt;
      value = value * 10 + (bytes_[at_++] - '0');
    }
    if (value > UINT32_MAX) return std::nullopt;
    return static_cast<std::uint32_t>(value);
  }

  // One '0' or '1' of a plain bitmap, which need not be apart from the next.
  std::optional<std::uint32_t> bit() {
    if (!skip() || (bytes_[at_] != '0' && bytes_[at_] != '1')) return std::nullopt;
    return bytes_[at_++] - '0';
  }

  // The next line's words without its end, comments and blank lines skipped; false at the file's end.
  bool line(std::string_view& key, std::string_view& rest) {
    for (;;) {
      while (at_ < bytes_.size() && is_space(bytes_[at_])) ++at_;
      if (at_ >= bytes_.size()) return false;
      const std::uint64_t start = at_;
      while (at_ < bytes_.size() && bytes_[at_] != '\n') ++at_;
      std::string_view text(reinterpret_cast<const char*>(bytes_.data() + start), at_ - start);
      if (at_ < bytes_.size()) ++at_;
      while (!text.empty() && is_space(static_cast<std::uint8_t>(text.back()))) text.remove_suffix(1);
      if (text.empty() || text[0] == '#') continue;
      const std::size_t gap = text.find_first_of(" \t");
      key = text.substr(0, gap);
      rest = gap == std::string_view::npos ? std::string_view{} : text.substr(gap);
      while (!rest.empty() && is_space(static_cast<std::uint8_t>(rest.front()))) rest.remove_prefix(1);
      return true;
    }
  }

 private:
  std::span<const std::uint8_t> bytes_;
  std::uint64_t at_;
};

std::optional<std::uint32_t> number_of(std::string_view text) {
  if (text.empty() || text.size() > 10) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : text) {
    if (!is_digit(static_cast<std::uint8_t>(c))) return std::nullopt;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value > UINT32_MAX) return std::nullopt;
  return static_cast<std::uint32_t>(value);
}

Failure broken(const char* kind, const std::string& why) {
  return Failure{Fault::cannot_open, "the " + std::string(kind) + " " + why};
}

}  // namespace

bool has_pnm_signature(std::span<const std::uint8_t> start) {
  if (start.size() < 3 || start[0] != 'P' || start[1] < '1' || start[1] > '7' || !is_space(start[2])) return false;
  Fields fields(start, 2);
  if (!fields.skip()) return false;
  const std::uint8_t next = start[static_cast<std::size_t>(fields.at())];
  return start[1] == '7' ? next >= 'A' && next <= 'Z' : is_digit(next);
}

const char* PnmReader::kind() const {
  switch (magic_) {
    case '1':
    case '4':
      return "PBM";
    case '2':
    case '5':
      return "PGM";
    case '3':
    case '6':
      return "PPM";
    default:
      return "PAM";
  }
}

std::variant<std::monostate, PnmReader, Failure> PnmReader::open(std::span<const std::uint8_t> bytes,
                                                                 std::uint64_t pixel_limit) {
  if (!has_pnm_signature(bytes)) return std::monostate{};
  PnmReader reader;
  reader.bytes_ = bytes;
  reader.magic_ = static_cast<char>(bytes[1]);
  const char* kind = reader.kind();
  Fields fields(bytes, 2);
  if (reader.magic_ != '7') {
    const std::optional<std::uint32_t> width = fields.number(), height = fields.number();
    if (!width || !height) return broken(kind, "header has no width and height");
    reader.width_ = *width;
    reader.height_ = *height;
    const bool bitmap = reader.magic_ == '1' || reader.magic_ == '4';
    if (!bitmap) {
      const std::optional<std::uint32_t> maxval = fields.number();
      if (!maxval || *maxval == 0 || *maxval > 65535)
        return broken(kind, "header's maximum value is missing or not from 1 to 65535");
      reader.maxval_ = *maxval;
    }
    reader.bitmap_ = bitmap;
    reader.depth_ = reader.magic_ == '3' || reader.magic_ == '6' ? 3 : 1;
    // One whitespace character ends a binary header; text samples find their own way. netpbm reads
    // that character as it reads the header's, so a comment right after the last number runs to
    // the end of its line, and the line's end is the one character.
    std::uint64_t end = fields.at();
    if (reader.magic_ >= '4' && end < bytes.size() && bytes[end] == '#') {
      while (end < bytes.size() && bytes[end] != '\n' && bytes[end] != '\r') ++end;
    }
    reader.pixels_at_ = end + (reader.magic_ >= '4' ? 1 : 0);
  } else {
    std::optional<std::uint32_t> width, height, depth, maxval;
    std::string tuple;
    std::string_view key, rest;
    for (;;) {
      if (!fields.line(key, rest)) return broken(kind, "header ends before ENDHDR");
      if (key == "ENDHDR") break;
      std::optional<std::uint32_t>* field = key == "WIDTH"    ? &width
                                            : key == "HEIGHT" ? &height
                                            : key == "DEPTH"  ? &depth
                                            : key == "MAXVAL" ? &maxval
                                                              : nullptr;
      if (field != nullptr) {
        *field = number_of(rest);
        if (!*field) return broken(kind, "header's " + std::string(key) + " is not a number");
      } else if (key == "TUPLTYPE") {
        tuple += rest;
      } else {
        return broken(kind, "header has a line it does not know: " + std::string(key.substr(0, 20)));
      }
    }
    if (!width || !height || !depth || !maxval)
      return broken(kind, "header lacks one of WIDTH, HEIGHT, DEPTH and MAXVAL");
    if (*maxval == 0 || *maxval > 65535) return broken(kind, "header's MAXVAL is not from 1 to 65535");
    const std::uint32_t expected = tuple == "BLACKANDWHITE" || tuple == "GRAYSCALE"               ? 1
                                   : tuple == "BLACKANDWHITE_ALPHA" || tuple == "GRAYSCALE_ALPHA" ? 2
                                   : tuple == "RGB"                                               ? 3
                                   : tuple == "RGB_ALPHA"                                         ? 4
                                   : tuple.empty() && *depth >= 1 && *depth <= 4                  ? *depth
                                                                                                  : 0;
    if (expected == 0)
      return Failure{Fault::unsupported, "the PAM's tuple type " + tuple.substr(0, 30) +
                                             " is none of BLACKANDWHITE, GRAYSCALE and RGB, with or without _ALPHA"};
    if (expected != *depth)
      return broken(kind, "header's DEPTH " + std::to_string(*depth) + " does not fit its tuple type " + tuple);
    if (tuple.rfind("BLACKANDWHITE", 0) == 0 && *maxval != 1)
      return broken(kind, "header's MAXVAL is not 1 for BLACKANDWHITE");
    reader.width_ = *width;
    reader.height_ = *height;
    reader.depth_ = *depth;
    reader.maxval_ = *maxval;
    reader.alpha_ = *depth == 2 || *depth == 4;
    reader.pixels_at_ = fields.at();
  }
  const std::string size = std::to_string(reader.width_) + " x " + std::to_string(reader.height_) + " pixels";
  if (reader.width_ == 0 || reader.height_ == 0) return Failure{Fault::unsupported, "the picture has no pixels"};
  if (std::uint64_t{reader.width_} * reader.height_ > pixel_limit)
    return Failure{Fault::unsupported, size + ", more than the " + std::to_string(pixel_limit) +
                                           " a compressed picture may have (--max-pixels raises the limit)"};
  if (reader.magic_ >= '4') {
    const std::uint64_t row = reader.magic_ == '4'
                                  ? (std::uint64_t{reader.width_} + 7) / 8
                                  : std::uint64_t{reader.width_} * reader.depth_ * (reader.maxval_ > 255 ? 2 : 1);
    const std::uint64_t need = row * reader.height_;
    const std::uint64_t have = reader.pixels_at_ <= bytes.size() ? bytes.size() - reader.pixels_at_ : 0;
    if (have < need)
      return broken(kind, "is cut short: its " + size + " need " + std::to_string(need) + " bytes and " +
                              std::to_string(have) + " follow its header");
  }
  return reader;
}

std::uint64_t PnmReader::row_at(std::uint32_t y) const {
  if (magic_ <= '3') return row_starts_[y];
  const std::uint64_t row =
      magic_ == '4' ? (std::uint64_t{width_} + 7) / 8 : std::uint64_t{width_} * depth_ * (maxval_ > 255 ? 2 : 1);
  return pixels_at_ + row * y;
}

std::optional<Failure> PnmReader::read_row(std::uint64_t& at, std::uint32_t first, std::uint32_t count,
                                           std::uint8_t* to) const {
  const bool text = magic_ <= '3';
  const bool wide = maxval_ > 255;
  Fields fields(bytes_, at);
  const std::uint32_t half = maxval_ / 2;
  const auto scale = [&](std::uint32_t v) { return static_cast<std::uint8_t>((v * 255 + half) / maxval_); };
  std::uint32_t samples[4];
  // Binary samples before the part are stepped over; text ones are read past.
  std::uint32_t x = text ? 0 : first;
  if (!text && magic_ != '4') at += std::uint64_t{first} * depth_ * (wide ? 2 : 1);
  for (; x < first + count; ++x) {
    if (magic_ == '4') {
      const std::uint8_t byte = bytes_[static_cast<std::size_t>(at + x / 8)];
      samples[0] = (byte >> (7 - x % 8)) & 1;
    } else {
      for (std::uint32_t s = 0; s < depth_; ++s) {
        if (text) {
          const std::optional<std::uint32_t> v = magic_ == '1' ? fields.bit() : fields.number();
          if (!v) return broken(kind(), "is cut short or holds something other than a sample");
          samples[s] = *v;
        } else if (wide) {
          samples[s] = static_cast<std::uint32_t>(bytes_[static_cast<std::size_t>(at)] << 8) |
                       bytes_[static_cast<std::size_t>(at + 1)];
          at += 2;
        } else {
          samples[s] = bytes_[static_cast<std::size_t>(at++)];
        }
        if (samples[s] > maxval_)
          return broken(kind(), "has a sample of " + std::to_string(samples[s]) + " above its maximum value of " +
                                    std::to_string(maxval_));
      }
    }
    if (x < first) continue;
    if (bitmap_) {
      to[0] = to[1] = to[2] = samples[0] != 0 ? 0 : 255;
      to[3] = 255;
      to += 4;
      continue;
    }
    const bool colour = depth_ >= 3;
    to[2] = scale(samples[0]);
    to[1] = colour ? scale(samples[1]) : to[2];
    to[0] = colour ? scale(samples[2]) : to[2];
    to[3] = alpha_ ? scale(samples[depth_ - 1]) : 255;
    to += 4;
  }
  if (text) at = fields.at();
  if (magic_ == '4') at += (std::uint64_t{width_} + 7) / 8;
  return std::nullopt;
}

std::optional<Failure> PnmReader::check() {
  const bool text = magic_ <= '3';
  // A binary sample can exceed the maximum value only when that is less than its byte or word holds.
  if (!text && (magic_ == '4' || maxval_ == 255 || maxval_ == 65535)) return std::nullopt;
  std::vector<std::uint8_t> row;
  std::vector<std::uint64_t> starts;
  if (std::optional<Failure> failed = within_memory("the PNM's rows cannot be noted in memory", [&] {
        row.resize(std::size_t{width_} * 4);
        if (text) starts.reserve(height_);
      }))
    return failed;
  std::uint64_t at = pixels_at_;
  for (std::uint32_t y = 0; y < height_; ++y) {
    if (text) starts.push_back(at);
    if (std::optional<Failure> failed = read_row(at, 0, width_, row.data())) return failed;
  }
  row_starts_ = std::move(starts);
  return std::nullopt;
}

void PnmReader::read_rows(std::uint32_t top, std::uint32_t count, std::uint8_t* quads) const {
  for (std::uint32_t y = top; y < top + count; ++y) read_part(y, 0, width_, quads + std::size_t{y - top} * width_ * 4);
}

void PnmReader::read_part(std::uint32_t y, std::uint32_t x, std::uint32_t count, std::uint8_t* quads) const {
  std::uint64_t at = row_at(y);
  static_cast<void>(read_row(at, x, count, quads));
}

std::optional<Failure> PnmReader::read_whole(std::span<std::uint8_t> quads) {
  if (std::optional<Failure> failed = check()) return failed;
  read_rows(0, height_, quads.data());
  return std::nullopt;
}
