// A JPEG's markers walked before it is decoded. The platforms' JPEG codecs decode a file cut short,
// or one whose scans are damaged, into grey rows and report success (at most a warning line of the
// codec's own): pack would then write a wrong picture and exit 0. The walk finds what the codecs let
// through without decoding a pixel: a file that ends before its end-of-image marker, a segment or a
// scan cut short, restart markers out of order, and a scan whose bytes are too few for the blocks it
// codes. What only decoding can find (a damaged Huffman code inside a scan of the right length) is
// left to the codec's own report.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "files/failure.h"

// The refusal of the JPEG `file` (which starts with a JPEG's signature) as cut short or damaged, or
// nothing when its markers are whole and in order. Bytes after the end-of-image marker are not the
// picture's and are not looked at.
std::optional<Failure> check_jpeg_structure(std::span<const std::uint8_t> file);
