#include "containers/lvgl_compress.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstring>

#include "pixels/little_endian.h"

namespace {

constexpr unsigned longest_run = 127;

// Decoders report their damage in the image's terms: how far the data got.
std::string ends_after(std::uint64_t made, std::uint64_t total) {
  return "it ends after " + std::to_string(made) + " of the image's " + std::to_string(total) + " bytes";
}

}  // namespace

std::vector<std::uint8_t> rle_compress(std::span<const std::uint8_t> data, unsigned block) {
  assert(block >= 1);
  const std::size_t whole = data.size() / block;
  const std::size_t blocks = whole + (data.size() % block != 0 ? 1 : 0);
  std::vector<std::uint8_t> out;
  const auto append_block = [&](std::size_t k) {
    const std::size_t at = k * block;
    const std::size_t held = std::min<std::size_t>(block, data.size() - at);
    out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
               data.begin() + static_cast<std::ptrdiff_t>(at + held));
    out.insert(out.end(), block - held, 0);
  };
  const auto literals = [&](std::size_t from, std::size_t to) {
    while (from < to) {
      const std::size_t count = std::min<std::size_t>(longest_run, to - from);
      out.push_back(static_cast<std::uint8_t>(0x80 | count));
      for (std::size_t k = from; k < from + count; ++k) append_block(k);
      from += count;
    }
  };
  const auto same = [&](std::size_t a, std::size_t b) {
    return std::memcmp(data.data() + a * block, data.data() + b * block, block) == 0;
  };
  std::size_t literal_from = 0;
  std::size_t k = 0;
  while (k < blocks) {
    // A padded last block is always a literal, so that a decoder that writes whole blocks of a
    // repeat or none of its last never leaves its bytes unwritten.
    std::size_t run = 1;
    while (k + run < whole && run < longest_run && same(k, k + run)) ++run;
    // A repeat of two single bytes saves nothing over literals and breaks the literal run around it.
    if (k < whole && run >= 2 && (block > 1 || run >= 3)) {
      literals(literal_from, k);
      out.push_back(static_cast<std::uint8_t>(run));
      append_block(k);
      k += run;
      literal_from = k;
    } else {
      ++k;
    }
  }
  literals(literal_from, blocks);
  return out;
}

std::optional<std::string> rle_decompress(std::span<const std::uint8_t> in, unsigned block,
                                          std::span<std::uint8_t> out) {
  assert(block >= 1);
  const std::uint64_t total = out.size();
  std::size_t from = 0;
  std::uint64_t made = 0;
  // LVGL's decoder reads runs while data is left. A run may pass the image's end by a block at most:
  // a literal is cut to the image, and ends the decoding, the rest of the data unread; a repeat
  // writes only its whole blocks, so one that ends inside a block would leave the image's last
  // bytes unwritten, and is refused here.
  while (from < in.size()) {
    const std::uint8_t control = in[from++];
    const std::uint64_t count = control & 0x7F;
    const bool literal = (control & 0x80) != 0;
    const std::uint64_t bytes = count * block;
    const std::uint64_t taken = literal ? bytes : block;
    if (in.size() - from < taken) return "the RLE data is cut short inside a run: " + ends_after(made, total);
    const std::uint64_t room = total - made;
    if (bytes > room && bytes - room > block)
      return "an RLE run of " + std::to_string(count) + " blocks reaches past the image's " + std::to_string(total) +
             " bytes";
    if (bytes > room && !literal && bytes - room < block)
      return "an RLE repeat ends inside a block past the image's end, whose bytes LVGL leaves unwritten";
    const std::uint64_t kept = std::min(bytes, room);
    if (literal) {
      std::copy_n(in.data() + from, kept, out.data() + made);
    } else {
      for (std::uint64_t k = 0; k < kept; ++k) out[made + k] = in[from + k % block];
    }
    made += kept;
    from += taken;
    if (bytes > room) break;
  }
  if (made < total) return "the RLE data is cut short: " + ends_after(made, total);
  return std::nullopt;
}

namespace {

constexpr std::size_t min_match = 4;
constexpr std::size_t last_literals = 5;  // the block always ends in this many literals
constexpr std::size_t match_margin = 12;  // no match starts in the block's last 12 bytes
constexpr std::size_t farthest = 65535;   // a match's distance is a 16-bit word
constexpr unsigned hash_bits = 12;

std::uint32_t load32(const std::uint8_t* at) {
  std::uint32_t value;
  std::memcpy(&value, at, 4);
  return value;
}

std::size_t hash_of(const std::uint8_t* at) {
  return static_cast<std::size_t>((load32(at) * 2654435761u) >> (32 - hash_bits));
}

// A length past 15 goes on in bytes of 255 and a last byte below it.
void append_length(std::vector<std::uint8_t>& out, std::size_t rest) {
  for (; rest >= 255; rest -= 255) out.push_back(255);
  out.push_back(static_cast<std::uint8_t>(rest));
}

void append_sequence(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> literals, std::size_t distance,
                     std::size_t match) {
  const std::size_t extra = match == 0 ? 0 : match - min_match;
  out.push_back(
      static_cast<std::uint8_t>((std::min<std::size_t>(literals.size(), 15) << 4) | std::min<std::size_t>(extra, 15)));
  if (literals.size() >= 15) append_length(out, literals.size() - 15);
  out.insert(out.end(), literals.begin(), literals.end());
  if (match == 0) return;
  out.push_back(static_cast<std::uint8_t>(distance & 0xFF));
  out.push_back(static_cast<std::uint8_t>(distance >> 8));
  if (extra >= 15) append_length(out, extra - 15);
}

}  // namespace

std::vector<std::uint8_t> lz4_compress(std::span<const std::uint8_t> data) {
  std::vector<std::uint8_t> out;
  const std::size_t size = data.size();
  std::size_t anchor = 0;
  if (size > match_margin) {
    // Each entry is a position + 1 of four bytes that hashed there; 0 for none yet.
    std::vector<std::uint32_t> table(std::size_t{1} << hash_bits, 0);
    const std::uint8_t* bytes = data.data();
    const std::size_t last_start = size - match_margin;
    const std::size_t match_end = size - last_literals;
    std::size_t at = 0;
    while (at <= last_start) {
      const std::size_t slot = hash_of(bytes + at);
      const std::uint32_t seen = table[slot];
      table[slot] = static_cast<std::uint32_t>(at + 1);
      if (seen == 0 || at - (seen - 1) > farthest || load32(bytes + seen - 1) != load32(bytes + at)) {
        ++at;
        continue;
      }
      std::size_t from = seen - 1;
      // The match may begin earlier, in the literals before it.
      while (at > anchor && from > 0 && bytes[at - 1] == bytes[from - 1]) --at, --from;
      std::size_t length = min_match;
      while (at + length < match_end && bytes[from + length] == bytes[at + length]) ++length;
      append_sequence(out, data.subspan(anchor, at - anchor), at - from, length);
      at += length;
      anchor = at;
      if (at - 2 <= last_start) table[hash_of(bytes + at - 2)] = static_cast<std::uint32_t>(at - 2 + 1);
    }
  }
  append_sequence(out, data.subspan(anchor), 0, 0);
  return out;
}

std::optional<std::string> lz4_decompress(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
  const std::uint64_t total = out.size();
  std::size_t from = 0;
  std::uint64_t made = 0;
  const auto length = [&](std::uint64_t& value) {
    for (;;) {
      if (from >= in.size()) return false;
      const std::uint8_t more = in[from++];
      value += more;
      if (more != 255) return true;
    }
  };
  for (;;) {
    if (from >= in.size()) return "the LZ4 data is cut short: " + ends_after(made, total);
    const std::uint8_t token = in[from++];
    std::uint64_t literals = token >> 4;
    if (literals == 15 && !length(literals)) return "the LZ4 data is cut short: " + ends_after(made, total);
    if (literals > in.size() - from) return "the LZ4 data is cut short in its literals: " + ends_after(made, total);
    if (literals > total - made) return "LZ4 literals reach past the image's " + std::to_string(total) + " bytes";
    std::copy_n(in.data() + from, literals, out.data() + made);
    from += literals;
    made += literals;
    if (from == in.size()) break;
    // The block's end as liblz4 and LVGL's decoder take it: the last match starts at least 12 bytes
    // before the end, and room is left for a match and the 5 literals that end every block.
    const bool match_may_start = made + 12 <= total && in.size() - from >= 8;
    if (in.size() - from < 2) return "the LZ4 data is cut short in a match: " + ends_after(made, total);
    const std::uint64_t distance = load_le16(in.data() + from);
    from += 2;
    if (distance == 0 || distance > made)
      return "an LZ4 match refers " + std::to_string(distance) + " bytes back from byte " + std::to_string(made) +
             " of the image";
    std::uint64_t match = token & 0x0F;
    if (match == 15 && !length(match)) return "the LZ4 data is cut short in a match: " + ends_after(made, total);
    match += min_match;
    if (match > total - made) return "an LZ4 match reaches past the image's " + std::to_string(total) + " bytes";
    if (!match_may_start)
      return "an LZ4 match starts at byte " + std::to_string(made) +
             ", within the last 12 of the image, which only literals may end";
    if (match + 5 > total - made) return "an LZ4 match reaches into the last 5 bytes of the image, which are literals";
    // The match may overlap the bytes it makes: copied a byte at a time, it repeats them.
    for (std::uint64_t k = 0; k < match; ++k, ++made) out[made] = out[made - distance];
  }
  if (made != total) return "the LZ4 data ends early: " + ends_after(made, total);
  return std::nullopt;
}

std::uint64_t most_decompressed(LvglCompression method, std::uint64_t compressed) {
  // A repeat of RLE makes at most 127 blocks of its 1 + block bytes; a byte of 255 in an LZ4 length
  // makes 255 bytes more.
  if (method == LvglCompression::rle) return compressed * longest_run;
  return compressed * 255 + 64;
}
