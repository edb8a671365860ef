// A job's input or output when it is a stream rather than a file (standard input and output): bytes
// read once from the start, or written once in order, with no going back. A job that needs a file
// after all (one that walks its input twice, or hands it to a loader that takes a path) asks the
// input for a copy in a file, bounded by what it can use, so that an endless stream costs neither
// time nor disk. The front end that owns the streams implements both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "files/failure.h"
#include "files/system_error.h"

// A copy of an input stream's start in a file of its own, which lasts as long as the stream.
struct StagedInput {
  std::string path;
  // The stream went on past the bytes copied: they are only its start.
  bool longer = false;
};

class InputStream {
 public:
  virtual ~InputStream() = default;

  // What the stream is, in messages: "standard input".
  virtual std::string_view name() const = 0;
  // The stream's first `count` bytes, or all of it when it is shorter: they stay to be read again by
  // read() and stage(). Valid until the next call. Only before read() has been called.
  virtual std::variant<std::span<const std::uint8_t>, Failure> peek(std::size_t count) = 0;
  // The next bytes from the stream's start on (the peeked ones first) into `bytes`: how many, 0 only
  // at its end.
  virtual std::variant<std::size_t, Failure> read(std::span<std::uint8_t> bytes) = 0;
  // The stream's first `limit` bytes (all of it when shorter) copied into a file, reading one byte
  // more to tell whether it is longer; no more is read. Only before read() has been called, once.
  virtual std::variant<StagedInput, Failure> stage(std::uint64_t limit) = 0;
};

class OutputStream {
 public:
  virtual ~OutputStream() = default;

  // What the stream is, in messages: "standard output".
  virtual std::string_view name() const = 0;
  // Writes all of `bytes`: nullopt, or the system's error (a code of 0 when the stream gave none)
  // with how many of them went out before it in `written`.
  virtual std::optional<SystemError> write(std::span<const std::uint8_t> bytes, std::size_t& written) = 0;
};
