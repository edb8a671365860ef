#include "codecs/jpeg_structure.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <string>
#include <variant>

namespace {

constexpr std::uint8_t soi = 0xD8, eoi = 0xD9, sos = 0xDA, dnl = 0xDC, tem = 0x01;
constexpr std::uint8_t rst0 = 0xD0, rst7 = 0xD7;

Failure cut_short(const std::string& where) {
  return Failure{Fault::cannot_open, "the JPEG is cut short: it ends " + where};
}

Failure damaged(const std::string& why) { return Failure{Fault::cannot_open, "the JPEG is damaged: " + why}; }

std::string hex(std::uint8_t marker) {
  constexpr char digits[] = "0123456789ABCDEF";
  return std::string("0xFF") + digits[marker >> 4] + digits[marker & 15];
}

unsigned be16(const std::uint8_t* p) { return unsigned{p[0]} << 8 | p[1]; }

struct Component {
  std::uint8_t id = 0;
  unsigned h = 1, v = 1;
};

struct Frame {
  bool seen = false;
  bool huffman = true;  // the arithmetic-coded kinds can code a block in less than a bit
  unsigned width = 0, height = 0;
  unsigned max_h = 1, max_v = 1;
  std::array<Component, 4> components{};
  unsigned count = 0;

  // The 8 x 8 blocks of component `c`, as a scan of it alone codes them: a scan of several codes
  // at least as many, padded to whole units.
  std::uint64_t blocks(const Component& c) const {
    const std::uint64_t w = (std::uint64_t{width} * c.h + max_h - 1) / max_h;
    const std::uint64_t h = (std::uint64_t{height} * c.v + max_v - 1) / max_v;
    return ((w + 7) / 8) * ((h + 7) / 8);
  }
};

bool is_frame_marker(std::uint8_t m) {
  // SOF0 to SOF15, save DHT (C4), JPG (C8) and DAC (CC), which share the range.
  return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
}

std::optional<Failure> read_frame(const std::uint8_t* p, unsigned length, std::uint8_t marker, Frame& frame) {
  if (frame.seen) return damaged("it has two frame headers");
  if (length < 8) return damaged("its frame header is too short");
  frame.seen = true;
  frame.huffman = marker < 0xC9;
  frame.height = be16(p + 3);
  frame.width = be16(p + 5);
  frame.count = p[7];
  if (frame.width == 0) return damaged("its frame header gives a width of 0");
  if (frame.count == 0 || frame.count > frame.components.size() || length < 8 + 3 * frame.count)
    return damaged("its frame header gives " + std::to_string(frame.count) + " components");
  for (unsigned i = 0; i < frame.count; ++i) {
    Component& c = frame.components[i];
    c.id = p[8 + 3 * i];
    c.h = p[9 + 3 * i] >> 4;
    c.v = p[9 + 3 * i] & 15;
    if (c.h < 1 || c.h > 4 || c.v < 1 || c.v > 4) return damaged("a component's sampling factors are out of range");
    frame.max_h = std::max(frame.max_h, c.h);
    frame.max_v = std::max(frame.max_v, c.v);
  }
  return std::nullopt;
}

// The blocks whose DC coefficients the scan whose header is `p` codes: each takes at least one bit
// of a Huffman-coded scan. Zero when the scan codes no DC coefficients (a progressive AC scan, whose
// runs of empty blocks can take a few bits for thousands) or the bound cannot be told.
std::variant<std::uint64_t, Failure> dc_blocks(const std::uint8_t* p, unsigned length, const Frame& frame) {
  const unsigned count = p[2];
  if (count == 0 || count > 4 || length < 6 + 2 * count) return damaged("a scan header is malformed");
  const unsigned first_coefficient = p[3 + 2 * count];
  std::uint64_t blocks = 0;
  for (unsigned i = 0; i < count; ++i) {
    const std::uint8_t id = p[3 + 2 * i];
    const Component* c = std::find_if(frame.components.begin(), frame.components.begin() + frame.count,
                                      [&](const Component& k) { return k.id == id; });
    if (c == frame.components.begin() + frame.count) return damaged("a scan names a component the frame lacks");
    blocks += frame.blocks(*c);
  }
  // A height of 0 is given later, by a DNL marker after the scan.
  if (first_coefficient != 0 || !frame.huffman || frame.height == 0) return std::uint64_t{0};
  return blocks;
}

}  // namespace

std::optional<Failure> check_jpeg_structure(std::span<const std::uint8_t> file) {
  const std::uint8_t* const data = file.data();
  const std::size_t size = file.size();
  if (size < 2 || data[0] != 0xFF || data[1] != soi) return damaged("it does not start with a start-of-image marker");
  Frame frame;
  bool scanned = false;
  std::size_t at = 2;
  while (true) {
    // A marker: 0xFF, any number of fill bytes 0xFF, and its code. Stray bytes before it are
    // skipped, as the codecs skip them: some writers pad between segments, and no pixel lies there.
    while (at < size && data[at] != 0xFF) ++at;
    while (at < size && data[at] == 0xFF) ++at;
    if (at >= size) return cut_short("before its end-of-image marker");
    const std::uint8_t marker = data[at++];
    if (marker == eoi) {
      if (!scanned) return damaged("it ends before any of its pixels");
      return std::nullopt;
    }
    if (marker == soi) return damaged("a second start-of-image marker comes before the end of the first picture");
    if (marker == tem) continue;
    if (marker >= rst0 && marker <= rst7) return damaged("a restart marker stands outside a scan");
    if (marker == 0x00) continue;  // a stray 0xFF, skipped as other stray bytes are
    if (size - at < 2) return cut_short("inside the segment of marker " + hex(marker));
    const unsigned length = be16(data + at);
    if (length < 2)
      return damaged("the segment of marker " + hex(marker) + " gives a length of " + std::to_string(length));
    if (size - at < length) return cut_short("inside the segment of marker " + hex(marker));
    const std::uint8_t* segment = data + at;
    at += length;
    if (is_frame_marker(marker)) {
      if (std::optional<Failure> bad = read_frame(segment, length, marker, frame)) return bad;
      continue;
    }
    if (marker == dnl && frame.seen && frame.height == 0 && length >= 4) frame.height = be16(segment + 2);
    if (marker != sos) continue;
    if (!frame.seen) return damaged("a scan comes before the frame header");
    if (length < 3) return damaged("a scan header is malformed");
    std::variant<std::uint64_t, Failure> needed = dc_blocks(segment, length, frame);
    if (Failure* bad = std::get_if<Failure>(&needed)) return std::move(*bad);
    scanned = true;

    // The entropy-coded data runs to the first 0xFF that is neither stuffing (0xFF 0x00), a fill
    // byte, nor a restart marker; restart markers count 0 to 7 and round again.
    std::uint64_t bytes = 0;
    unsigned next_restart = 0;
    while (true) {
      const void* found = std::memchr(data + at, 0xFF, size - at);
      if (found == nullptr) return cut_short("inside a scan");
      const std::size_t ff = static_cast<std::size_t>(static_cast<const std::uint8_t*>(found) - data);
      bytes += ff - at;
      std::size_t after = ff + 1;
      while (after < size && data[after] == 0xFF) ++after;
      if (after >= size) return cut_short("inside a scan");
      const std::uint8_t code = data[after];
      if (code == 0x00) {
        bytes += 2;
        at = after + 1;
        continue;
      }
      if (code >= rst0 && code <= rst7) {
        if (code != rst0 + next_restart)
          return damaged("restart marker " + std::to_string(code - rst0) + " comes where " +
                         std::to_string(next_restart) + " belongs");
        next_restart = (next_restart + 1) % 8;
        at = after + 1;
        continue;
      }
      at = ff;
      break;
    }
    const std::uint64_t blocks = std::get<std::uint64_t>(needed);
    if (bytes * 8 < blocks)
      return damaged("a scan of " + std::to_string(bytes) + " bytes cannot code its " + std::to_string(blocks) +
                     " blocks of 8 x 8 pixels");
  }
}
