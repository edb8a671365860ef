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

LvglStream::LvglStream(LvglCompression method, unsigned block, std::span<const std::uint8_t> in, std::uint64_t total)
    : in_(in), total_(total), block_(block), lz4_(method == LvglCompression::lz4) {
  assert(block >= 1);
  if (lz4_) history_.assign(history_size, 0);
}

LvglStream::Mark LvglStream::mark() const { return Mark{at_, history_}; }

void LvglStream::resume(const Mark& mark) {
  at_ = mark.at;
  if (lz4_) history_ = mark.history;
}

std::optional<std::string> LvglStream::next(std::span<std::uint8_t> out) {
  std::size_t filled = 0;
  while (filled < out.size()) {
    if (at_.pending == 0) {
      if (std::optional<std::string> failed = lz4_ ? lz4_step() : rle_step()) return failed;
      if (at_.pending == 0 && at_.ended) {
        return lz4_ ? "the LZ4 data ends early: " + ends_after(at_.made, total_)
                    : "the RLE data is cut short: " + ends_after(at_.made, total_);
      }
      continue;
    }
    const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(at_.pending, out.size() - filled));
    put_out(out.data() + filled, count);
    filled += count;
  }
  return std::nullopt;
}

std::optional<std::string> LvglStream::finish() {
  // The data after the image's last byte is read as the decoders read it: runs or sequences that
  // make nothing more, or one that passes the end as far as they allow.
  while (!at_.ended && at_.pending == 0) {
    if (std::optional<std::string> failed = lz4_ ? lz4_step() : rle_step()) return failed;
  }
  if (at_.made < total_)
    return lz4_ ? "the LZ4 data ends early: " + ends_after(at_.made, total_)
                : "the RLE data is cut short: " + ends_after(at_.made, total_);
  return std::nullopt;
}

void LvglStream::put_out(std::uint8_t* out, std::size_t count) {
  const std::size_t mask = history_size - 1;
  // Where a copy comes from in `in`; a match's source is a distance instead.
  // RLE copies from `in` always, LZ4 while a sequence's literals are out; a match copies from the
  // image.
  const bool copying = !lz4_ || at_.in_sequence;
  const std::uint8_t* from = copying ? in_.data() + at_.source : nullptr;
  if (copying && (lz4_ || at_.literal)) {
    std::memcpy(out, from + at_.done, count);
  } else if (copying && block_ == 1) {
    std::memset(out, from[0], count);
  } else if (copying) {
    // A repeated block: its first copy, whole or from where the run got to, then doubled.
    const std::size_t first = std::min<std::size_t>(count, block_);
    for (std::size_t k = 0; k < first; ++k) out[k] = from[(at_.done + k) % block_];
    for (std::size_t have = first; have < count;) {
      const std::size_t piece = std::min(have / block_ * block_, count - have);
      std::memcpy(out + have, out, piece);
      have += piece;
    }
  } else {
    // A match: what lies before these bytes comes from the history, the rest from the bytes just
    // made, which a match shorter than its length repeats.
    const std::size_t distance = static_cast<std::size_t>(at_.source);
    for (std::size_t k = 0; k < count; ++k)
      out[k] = k >= distance ? out[k - distance] : history_[static_cast<std::size_t>(at_.made + k - distance) & mask];
  }
  if (lz4_) {
    // The last of these bytes, at their places in the history.
    const std::size_t kept = std::min(count, history_size);
    for (std::size_t k = count - kept; k < count;) {
      const std::size_t at = static_cast<std::size_t>(at_.made + k) & mask;
      const std::size_t piece = std::min(count - k, history_size - at);
      std::memcpy(history_.data() + at, out + k, piece);
      k += piece;
    }
  }
  at_.made += count;
  at_.done += count;
  at_.pending -= count;
}

std::optional<std::string> LvglStream::rle_step() {
  // LVGL's decoder reads runs while data is left. A run may pass the image's end by a block at most:
  // a literal is cut to the image, and ends the decoding, the rest of the data unread; a repeat
  // writes only its whole blocks, so one that ends inside a block would leave the image's last
  // bytes unwritten, and is refused here.
  if (at_.from >= in_.size() || at_.past_end) {
    at_.ended = true;
    return std::nullopt;
  }
  const std::uint8_t control = in_[at_.from++];
  const std::uint64_t count = control & 0x7F;
  const bool literal = (control & 0x80) != 0;
  const std::uint64_t bytes = count * block_;
  const std::uint64_t taken = literal ? bytes : block_;
  if (in_.size() - at_.from < taken) return "the RLE data is cut short inside a run: " + ends_after(at_.made, total_);
  const std::uint64_t room = total_ - at_.made;
  if (bytes > room && bytes - room > block_)
    return "an RLE run of " + std::to_string(count) + " blocks reaches past the image's " + std::to_string(total_) +
           " bytes";
  if (bytes > room && !literal && bytes - room < block_)
    return "an RLE repeat ends inside a block past the image's end, whose bytes LVGL leaves unwritten";
  at_.literal = literal;
  at_.source = at_.from;
  at_.done = 0;
  at_.pending = std::min(bytes, room);
  at_.from += static_cast<std::size_t>(taken);
  at_.past_end = bytes > room;
  return std::nullopt;
}

std::optional<std::string> LvglStream::lz4_step() {
  const std::size_t end = in_.size();
  std::size_t& from = at_.from;
  const auto length = [&](std::uint64_t& value) {
    for (;;) {
      if (from >= end) return false;
      const std::uint8_t more = in_[from++];
      value += more;
      if (more != 255) return true;
    }
  };
  if (!at_.in_sequence) {
    if (from >= end) return "the LZ4 data is cut short: " + ends_after(at_.made, total_);
    const std::uint8_t token = in_[from++];
    std::uint64_t literals = token >> 4;
    if (literals == 15 && !length(literals)) return "the LZ4 data is cut short: " + ends_after(at_.made, total_);
    if (literals > end - from) return "the LZ4 data is cut short in its literals: " + ends_after(at_.made, total_);
    if (literals > total_ - at_.made) return "LZ4 literals reach past the image's " + std::to_string(total_) + " bytes";
    at_.token = token;
    at_.in_sequence = true;
    at_.source = from;
    at_.done = 0;
    at_.pending = literals;
    from += static_cast<std::size_t>(literals);
    return std::nullopt;
  }
  // The literals are out: the block ends here, or a match follows.
  at_.in_sequence = false;
  if (from == end) {
    at_.ended = true;
    return std::nullopt;
  }
  // The block's end as liblz4 and LVGL's decoder take it: the last match starts at least 12 bytes
  // before the end, and room is left for a match and the 5 literals that end every block.
  const bool match_may_start = at_.made + 12 <= total_ && end - from >= 8;
  if (end - from < 2) return "the LZ4 data is cut short in a match: " + ends_after(at_.made, total_);
  const std::uint64_t distance = load_le16(in_.data() + from);
  from += 2;
  if (distance == 0 || distance > at_.made)
    return "an LZ4 match refers " + std::to_string(distance) + " bytes back from byte " + std::to_string(at_.made) +
           " of the image";
  std::uint64_t match = at_.token & 0x0F;
  if (match == 15 && !length(match)) return "the LZ4 data is cut short in a match: " + ends_after(at_.made, total_);
  match += min_match;
  if (match > total_ - at_.made) return "an LZ4 match reaches past the image's " + std::to_string(total_) + " bytes";
  if (!match_may_start)
    return "an LZ4 match starts at byte " + std::to_string(at_.made) +
           ", within the last 12 of the image, which only literals may end";
  if (match + 5 > total_ - at_.made)
    return "an LZ4 match reaches into the last 5 bytes of the image, which are literals";
  // The match may overlap the bytes it makes: copied a byte at a time, it repeats them.
  at_.source = distance;
  at_.done = 0;
  at_.pending = match;
  return std::nullopt;
}

namespace {

std::optional<std::string> decompress(LvglCompression method, unsigned block, std::span<const std::uint8_t> in,
                                      std::span<std::uint8_t> out) {
  LvglStream stream(method, block, in, out.size());
  if (std::optional<std::string> failed = stream.next(out)) return failed;
  return stream.finish();
}

}  // namespace

std::optional<std::string> rle_decompress(std::span<const std::uint8_t> in, unsigned block,
                                          std::span<std::uint8_t> out) {
  return decompress(LvglCompression::rle, block, in, out);
}

std::optional<std::string> lz4_decompress(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
  return decompress(LvglCompression::lz4, 1, in, out);
}

std::uint64_t most_decompressed(LvglCompression method, std::uint64_t compressed) {
  // A repeat of RLE makes at most 127 blocks of its 1 + block bytes; a byte of 255 in an LZ4 length
  // makes 255 bytes more.
  if (method == LvglCompression::rle) return compressed * longest_run;
  return compressed * 255 + 64;
}
