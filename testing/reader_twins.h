// The reader tests compare each picture with its twin as a PNG that the same independent tool wrote:
// both are read from the folder of such pairs, the PNG through the PNG reader.
#pragma once

#include <string>
#include <variant>

#include "read/png_reader.h"
#include "testing/test_files.h"

// The quads that `Reader` (of TGA, PNM or TIFF) gives of the whole of `file`, or its refusal's
// reason, or `not_taken` when it leaves the file to others.
template <typename Reader>
std::variant<Bytes, std::string> reader_quads(const Bytes& file, const char* not_taken) {
  std::variant<std::monostate, Reader, Failure> opened = Reader::open(file, 1u << 20);
  if (const Failure* failed = std::get_if<Failure>(&opened)) return failed->reason;
  if (!std::holds_alternative<Reader>(opened)) return std::string(not_taken);
  Reader& reader = std::get<Reader>(opened);
  Bytes quads(std::size_t{reader.width()} * reader.height() * 4);
  if (std::optional<Failure> failed = reader.read_whole(quads)) return failed->reason;
  return quads;
}

// The picture's quads as `Reader` reads each row of `file` alone once it has checked the pixels,
// the bottom row first, as a band read upward asks for them; top row first, as read_whole gives
// them. Empty when the file does not open or check.
template <typename Reader>
Bytes rows_read_alone(const Bytes& file) {
  std::variant<std::monostate, Reader, Failure> opened = Reader::open(file, 1u << 20);
  Reader* reader = std::get_if<Reader>(&opened);
  if (reader == nullptr || reader->check()) return {};
  const std::size_t row = std::size_t{reader->width()} * 4;
  Bytes quads(row * reader->height());
  for (std::uint32_t y = reader->height(); y-- > 0;) reader->read_rows(y, 1, quads.data() + y * row);
  return quads;
}

inline Bytes reader_test_file(const std::string& name) {
  return read_file(std::string(READER_TESTS) + "/" + name).value_or(Bytes{});
}

// The named PNG's quads, as the PNG reader gives them; empty when it does not read.
inline Bytes png_twin_quads(const std::string& name) {
  const Bytes png = reader_test_file(name);
  SpanByteWindows bytes(png);
  std::variant<std::monostate, PngReader, Failure> opened = PngReader::open(bytes, 1u << 20);
  if (!std::holds_alternative<PngReader>(opened)) return {};
  PngReader& reader = std::get<PngReader>(opened);
  Bytes quads(std::size_t{reader.width()} * reader.height() * 4);
  if (reader.read_whole(quads)) return {};
  return quads;
}
