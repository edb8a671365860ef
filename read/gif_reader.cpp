#include "read/gif_reader.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <utility>

#include "codecs/image_codecs.h"
#include "format/pixel_format.h"

namespace {

constexpr std::uint8_t extension_introducer = 0x21;
constexpr std::uint8_t image_separator = 0x2C;
constexpr std::uint8_t trailer = 0x3B;
constexpr std::uint8_t graphic_control_label = 0xF9;
constexpr unsigned max_codes = 4096;

Failure damaged(const std::string& what) { return Failure{Fault::cannot_open, "the GIF is damaged: " + what}; }
Failure cut_short() { return Failure{Fault::cannot_open, "the GIF is cut short"}; }
constexpr char canvas_does_not_fit[] = "the GIF's canvas does not fit in memory";

unsigned le16(const std::uint8_t* p) { return p[0] | (p[1] << 8); }

std::string frame_name(std::uint32_t index) { return "frame " + std::to_string(index + 1); }

// The canvas row of a frame's `row`th row as its data stores them: interlaced rows come in four
// passes, every 8th row from 0, every 8th from 4, every 4th from 2, every 2nd from 1.
std::uint32_t interlaced_row(std::uint32_t row, std::uint32_t height) {
  const std::uint32_t first = (height + 7) / 8;
  if (row < first) return row * 8;
  row -= first;
  const std::uint32_t second = (height + 3) / 8;
  if (row < second) return 4 + row * 8;
  row -= second;
  const std::uint32_t third = (height + 1) / 4;
  if (row < third) return 2 + row * 4;
  return 1 + (row - third) * 2;
}

}  // namespace

bool has_gif_signature(std::span<const std::uint8_t> bytes) {
  return bytes.size() >= 6 && std::memcmp(bytes.data(), "GIF8", 4) == 0 && (bytes[4] == '7' || bytes[4] == '9') &&
         bytes[5] == 'a';
}

// The file's bytes read forward through a buffer, a window of the file at a time.
struct GifReader::Cursor {
  ByteWindows* bytes;
  std::uint64_t pos = 0;
  std::vector<std::uint8_t> buffer;
  std::uint64_t buffer_at = 0;
  std::size_t buffered = 0;

  explicit Cursor(ByteWindows& from) : bytes(&from) {}

  std::optional<Failure> read(std::uint8_t* into, std::size_t count) {
    const std::uint64_t size = bytes->size();
    if (pos > size || count > size - pos) return cut_short();
    while (count > 0) {
      if (pos < buffer_at || pos >= buffer_at + buffered) {
        constexpr std::size_t window = std::size_t{64} << 10;
        buffered = static_cast<std::size_t>(std::min<std::uint64_t>(window, size - pos));
        buffer.resize(window);
        buffer_at = pos;
        if (std::optional<Failure> failed = bytes->copy(pos, {buffer.data(), buffered})) {
          buffered = 0;
          // The byte source's own words name another format; only the system's cause is kept.
          if (!failed->error) failed->reason = cut_short().reason;
          return failed;
        }
      }
      const std::size_t at = static_cast<std::size_t>(pos - buffer_at);
      const std::size_t taken = std::min(count, buffered - at);
      std::memcpy(into, buffer.data() + at, taken);
      into += taken;
      pos += taken;
      count -= taken;
    }
    return std::nullopt;
  }

  std::optional<Failure> byte(std::uint8_t& value) { return read(&value, 1); }

  // Past a run of data sub-blocks and their terminator.
  std::optional<Failure> skip_sub_blocks() {
    for (;;) {
      std::uint8_t length = 0;
      if (std::optional<Failure> failed = byte(length)) return failed;
      if (length == 0) return std::nullopt;
      if (pos + length > bytes->size()) return cut_short();
      pos += length;
    }
  }
};

GifReader::GifReader(ByteWindows& bytes) : cursor_(std::make_unique<Cursor>(bytes)) {}
GifReader::GifReader(GifReader&&) noexcept = default;
GifReader& GifReader::operator=(GifReader&&) noexcept = default;
GifReader::~GifReader() = default;

std::variant<std::monostate, GifReader, Failure> GifReader::open(ByteWindows& bytes, std::uint64_t pixel_limit) {
  std::array<std::uint8_t, 6> signature{};
  if (bytes.size() < signature.size() || bytes.copy(0, signature) || !has_gif_signature(signature))
    return std::monostate{};
  GifReader reader(bytes);
  if (std::optional<Failure> failed = within_memory(canvas_does_not_fit, [&]() -> std::optional<Failure> {
        if (std::optional<Failure> refused = reader.read_screen(pixel_limit)) return refused;
        if (std::optional<Failure> refused = reader.walk(false)) return refused;
        if (reader.delays_ms_.empty()) return damaged("it holds no frame");
        // Counted in 64 bits: in the 32-bit build a screen's quads can pass what a size_t holds.
        const std::uint64_t canvas_bytes = std::uint64_t{reader.width_} * reader.height_ * 4;
        if (canvas_bytes > PTRDIFF_MAX / 2) return Failure{Fault::out_of_memory, canvas_does_not_fit};
        const std::size_t quads = static_cast<std::size_t>(canvas_bytes);
        reader.canvas_.assign(quads, 0);
        reader.previous_.assign(static_cast<std::size_t>(reader.previous_bytes_), 0);
        return std::nullopt;
      }))
    return std::move(*failed);
  reader.restart();
  return reader;
}

std::optional<Failure> GifReader::read_screen(std::uint64_t pixel_limit) {
  std::array<std::uint8_t, 13> header{};
  if (std::optional<Failure> failed = cursor_->read(header.data(), header.size())) return failed;
  width_ = le16(&header[6]);
  height_ = le16(&header[8]);
  if (width_ == 0 || height_ == 0)
    return damaged("its screen is " + std::to_string(width_) + " x " + std::to_string(height_) + " pixels");
  if (std::optional<Failure> over = over_limit(width_, height_, pixel_limit))
    return Failure{Fault::unsupported, over->reason};
  if (!raw_image_size(width_, height_))
    return Failure{Fault::unsupported, std::to_string(width_) + " x " + std::to_string(height_) +
                                           " pixels: the raw image would not fit 4 GiB"};
  const std::uint8_t packed = header[10];
  if ((packed & 0x80) != 0) {
    global_palette_.resize(std::size_t{3} << ((packed & 7) + 1));
    if (std::optional<Failure> failed = cursor_->read(global_palette_.data(), global_palette_.size())) return failed;
  }
  first_block_ = cursor_->pos;
  return std::nullopt;
}

void GifReader::restart() {
  std::fill(canvas_.begin(), canvas_.end(), 0);
  next_block_ = first_block_;
  composed_ = 0;
  last_.reset();
}

std::optional<Failure> GifReader::next_frame() {
  if (composed_ >= frames()) return damaged("it has no " + frame_name(composed_));
  return within_memory(canvas_does_not_fit, [&] { return walk(true); });
}

std::optional<Failure> GifReader::walk(bool draw) {
  Cursor& in = *cursor_;
  in.pos = draw ? next_block_ : first_block_;
  // The graphic control extension that applies to the next frame.
  std::uint8_t disposal = 0;
  std::uint32_t delay = 0;
  std::optional<std::uint8_t> transparent;
  for (;;) {
    const std::uint64_t at = in.pos;
    std::uint8_t kind = 0;
    if (std::optional<Failure> failed = in.byte(kind)) return failed;
    if (kind == trailer) return std::nullopt;
    if (kind == extension_introducer) {
      std::uint8_t label = 0;
      if (std::optional<Failure> failed = in.byte(label)) return failed;
      if (label == graphic_control_label) {
        std::array<std::uint8_t, 5> fields{};
        if (std::optional<Failure> failed = in.read(fields.data(), fields.size())) return failed;
        if (fields[0] < 4)
          return damaged("a graphic control extension of " + std::to_string(fields[0]) + " bytes at byte " +
                         std::to_string(at));
        // Disposal methods 4 to 7 are not defined: like 0, they leave the frame.
        disposal = (fields[1] >> 2) & 7;
        if (disposal > 3) disposal = 0;
        delay = le16(&fields[2]) * 10u;
        transparent.reset();
        if ((fields[1] & 1) != 0) transparent = fields[4];
        // Past the rest of a block longer than its four fields.
        in.pos = at + 2 + 1 + fields[0];
      }
      if (std::optional<Failure> failed = in.skip_sub_blocks()) return failed;
      continue;
    }
    if (kind != image_separator)
      return damaged("a block of unknown kind " + std::to_string(kind) + " at byte " + std::to_string(at));

    const std::uint32_t index = draw ? composed_ : frames();
    std::array<std::uint8_t, 9> descriptor{};
    if (std::optional<Failure> failed = in.read(descriptor.data(), descriptor.size())) return failed;
    const std::uint32_t left = le16(&descriptor[0]), top = le16(&descriptor[2]);
    const std::uint32_t width = le16(&descriptor[4]), height = le16(&descriptor[6]);
    const std::uint8_t packed = descriptor[8];
    std::vector<std::uint8_t> local;
    if ((packed & 0x80) != 0) {
      local.resize(std::size_t{3} << ((packed & 7) + 1));
      if (std::optional<Failure> failed = in.read(local.data(), local.size())) return failed;
    }
    if (local.empty() && global_palette_.empty()) return damaged(frame_name(index) + " has no colour table");
    std::uint8_t code_size = 0;
    if (std::optional<Failure> failed = in.byte(code_size)) return failed;
    if (code_size < 2 || code_size > 8)
      return damaged(frame_name(index) + "'s LZW minimum code size is " + std::to_string(code_size) + ", not 2 to 8");
    if (!draw) {
      delays_ms_.push_back(delay);
      if (disposal == 3) {
        const std::uint64_t covered_width = std::min(width, width_ - std::min(left, width_));
        const std::uint64_t covered_height = std::min(height, height_ - std::min(top, height_));
        previous_bytes_ = std::max(previous_bytes_, covered_width * covered_height * 4);
      }
      if (std::optional<Failure> failed = in.skip_sub_blocks()) return failed;
      disposal = 0;
      delay = 0;
      transparent.reset();
      continue;
    }

    dispose();
    Area area;
    area.left = std::min(left, width_);
    area.top = std::min(top, height_);
    area.width = std::min(width, width_ - area.left);
    area.height = std::min(height, height_ - area.top);
    area.disposal = disposal;
    if (disposal == 3) keep_under(area);
    in.pos -= 1;  // draw_frame reads the code size again
    if (std::optional<Failure> failed = draw_frame(left, top, width, height, (packed & 0x40) != 0,
                                                   local.empty() ? global_palette_ : local, transparent))
      return failed;
    last_ = area;
    ++composed_;
    next_block_ = in.pos;
    return std::nullopt;
  }
}

void GifReader::keep_under(const Area& area) {
  // A frame wholly off the screen covers nothing, and has nothing kept for it.
  if (area.width == 0 || area.height == 0) return;
  const std::size_t length = std::size_t{area.width} * 4;
  for (std::uint32_t y = area.top; y < area.top + area.height; ++y)
    std::memcpy(previous_.data() + (y - area.top) * length, canvas_.data() + (std::size_t{y} * width_ + area.left) * 4,
                length);
}

void GifReader::dispose() {
  if (!last_ || last_->disposal < 2 || last_->width == 0 || last_->height == 0) return;
  const Area& area = *last_;
  for (std::uint32_t y = area.top; y < area.top + area.height; ++y) {
    const std::size_t at = (std::size_t{y} * width_ + area.left) * 4;
    const std::size_t length = std::size_t{area.width} * 4;
    if (area.disposal == 2) {
      std::memset(canvas_.data() + at, 0, length);
    } else {
      std::memcpy(canvas_.data() + at, previous_.data() + (y - area.top) * length, length);
    }
  }
}

std::optional<Failure> GifReader::draw_frame(std::uint32_t left, std::uint32_t top, std::uint32_t width,
                                             std::uint32_t height, bool interlaced,
                                             std::span<const std::uint8_t> palette,
                                             std::optional<std::uint8_t> transparent) {
  Cursor& in = *cursor_;
  std::uint8_t code_size = 0;
  if (std::optional<Failure> failed = in.byte(code_size)) return failed;
  const std::string name = frame_name(composed_);
  const unsigned clear = 1u << code_size, end = clear + 1;
  const std::size_t entries = palette.size() / 3;

  std::array<std::uint16_t, max_codes> prefix{};
  std::array<std::uint8_t, max_codes> suffix{};
  std::array<std::uint8_t, max_codes + 1> stack{};
  unsigned next = end + 1, size = code_size + 1;
  int old = -1;

  std::uint32_t bits = 0, held = 0;  // bits not yet taken, the low ones first
  std::uint8_t block_left = 0;
  bool blocks_ended = false;
  std::array<std::uint8_t, 255> block{};
  std::size_t block_at = 0;

  const std::uint64_t total = std::uint64_t{width} * height;
  std::uint64_t done = 0;
  std::uint32_t x = 0, row = 0;
  std::uint32_t y = interlaced ? interlaced_row(0, height) : 0;

  // Draws one pixel of the frame; false for an index past the colour table.
  const auto put = [&](std::uint8_t index) {
    if (done >= total) return true;  // codes past the frame's last pixel are left unused
    if (index >= entries) return false;
    const std::uint32_t cx = left + x, cy = top + y;
    if ((!transparent || index != *transparent) && cx < width_ && cy < height_) {
      std::uint8_t* quad = canvas_.data() + (std::size_t{cy} * width_ + cx) * 4;
      quad[0] = palette[index * 3 + 2];
      quad[1] = palette[index * 3 + 1];
      quad[2] = palette[index * 3];
      quad[3] = 255;
    }
    ++done;
    if (++x == width) {
      x = 0;
      ++row;
      y = interlaced ? interlaced_row(row, height) : row;
    }
    return true;
  };

  for (;;) {
    while (held < size && !blocks_ended) {
      if (block_at == block_left) {
        if (std::optional<Failure> failed = in.byte(block_left)) return failed;
        if (block_left == 0) {
          blocks_ended = true;
          break;
        }
        if (std::optional<Failure> failed = in.read(block.data(), block_left)) return failed;
        block_at = 0;
      }
      bits |= std::uint32_t{block[block_at++]} << held;
      held += 8;
    }
    if (held < size) break;  // the data ended without an end code
    const unsigned code = bits & ((1u << size) - 1);
    bits >>= size;
    held -= size;
    if (code == clear) {
      next = end + 1;
      size = code_size + 1;
      old = -1;
      continue;
    }
    if (code == end) break;
    if (old < 0) {
      if (code >= clear) return damaged(name + "'s pixel data starts with code " + std::to_string(code));
      if (!put(static_cast<std::uint8_t>(code))) return damaged(name + " has a pixel past its colour table");
      old = static_cast<int>(code);
      continue;
    }
    if (code > next || (code == next && next == max_codes))
      return damaged(name + "'s pixel data names LZW code " + std::to_string(code) + " before it is made");
    // The string of `code` (of `old` and its own first byte when it is the entry being made), last
    // byte first on the stack.
    std::size_t depth = 0;
    unsigned walk = code == next ? static_cast<unsigned>(old) : code;
    if (code == next) ++depth;  // its last byte, the string's first, is known only at the chain's end
    while (walk >= clear) {
      stack[depth++] = suffix[walk];
      walk = prefix[walk];
    }
    stack[depth++] = static_cast<std::uint8_t>(walk);
    if (code == next) stack[0] = static_cast<std::uint8_t>(walk);
    for (std::size_t k = depth; k-- > 0;) {
      if (!put(stack[k])) return damaged(name + " has a pixel past its colour table");
    }
    if (next < max_codes) {
      prefix[next] = static_cast<std::uint16_t>(old);
      suffix[next] = static_cast<std::uint8_t>(walk);
      ++next;
      if (next == (1u << size) && size < 12) ++size;
    }
    old = static_cast<int>(code);
  }
  if (done < total)
    return damaged(name + "'s pixel data ends after " + std::to_string(done) + " of its " + std::to_string(total) +
                   " pixels");
  // Sub-blocks after the end code (each is read whole as it is met) are skipped.
  if (!blocks_ended) {
    if (std::optional<Failure> failed = in.skip_sub_blocks()) return failed;
  }
  return std::nullopt;
}
