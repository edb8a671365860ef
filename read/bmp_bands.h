// A BMP's stored rows as BGR triples a band at a time, read through windows of its file, so that a
// job converts a picture of any size in a few megabytes. 24-bit rows are the file's own, read where
// they lie; palette and bit-field rows are decoded a band at a time from the window that holds them;
// run-length codes are walked forward from window to window, the walk's state kept from band to
// band. The pixels are the ones the image loader decodes (the same decoder, bmp_pixels.h), and a file
// is refused for the same reasons in the same words.
//
// Rows are asked for in bands of a size fixed beforehand, in stored order or from the file's end.
// Uncompressed rows may come in any order. Run-length codes can only be walked forward, so a first
// walk (which checks them, as the loader does before it decodes) keeps the walk's state at the start
// of each band, and a band is then decoded from its own start: bands come in either order, and a
// job that walks the picture twice starts again from the first band.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "files/file_view.h"
#include "files/system_error.h"
#include "read/bmp_pixels.h"
#include "read/bmp_reader.h"
#include "read/image_loader.h"

class BmpBands {
 public:
  // The picture whose file `view` holds, mapped from its start for at least the headers and the
  // colour table (64 KiB does). Nothing (monostate) when its headers are not a picture's: the
  // image loader then says why; the failure when the file was cut short under the reading. The view
  // stays the caller's; the bands map its windows, of `window_bytes` of run-length codes (at least
  // longest_code) or of as many rows as that holds.
  static std::variant<std::monostate, BmpBands, Failure> find(FileView& view,
                                                              std::uint64_t window_bytes = std::uint64_t{1} << 20);

  // Checks the pixels where the loader would (colours past the table, run-length codes cut short or
  // reaching past the picture) and the run-length pixel limit, and readies bands of `band_rows`
  // rows, from the file's end when `reverse`; nullopt when the picture converts. With `keep_alpha`,
  // a 32-bit picture's alpha is looked for as the loader looks for it (a mask that is one run of
  // bits apart from the colours', and some pixel's alpha not zero), and where it is found the bands
  // are quads.
  std::optional<Failure> survey(std::uint64_t pixel_limit, std::uint32_t band_rows, bool reverse,
                                bool keep_alpha = false);

  std::uint32_t width() const { return at_.bmp.width; }
  std::uint32_t height() const { return at_.bmp.height; }
  bool top_down() const { return at_.bmp.top_down; }
  // The bands are BGRA quads (pixels.h) rather than triples: a picture with alpha, kept.
  bool quads() const { return quads_; }
  // Whether rows() takes any rows inside the file, one alone included, not only the bands survey()
  // readied: true unless run-length coded.
  bool any_rows() const;
  // Bytes from one row's start to the next in the bands that rows() gives.
  std::uint32_t stride() const;
  // Whether rows() gives the file's own rows (24 bits), read and not decoded.
  bool file_rows() const { return at_.bmp.bits_per_pixel == 24; }

  // The `count` stored rows from stored row `first` on, a band that survey() readied: the file's
  // rows in a window for 24 bits, else decoded triples or quads. Valid until the next call. A 24-bit band
  // lies in a view that the caller reads under access_views; the others were read here under it.
  std::variant<std::span<const std::uint8_t>, Failure> rows(std::uint32_t first, std::uint32_t count);

 private:
  BmpBands(FileView& view, const BmpPixelsAt& at, std::uint64_t window_bytes);

  // Maps the pixel bytes from `offset` on, `length` of them; the failure when it could not.
  std::optional<Failure> map(std::uint64_t offset, std::uint64_t length);
  // Reads the alpha of every row until some pixel's is not zero; the bands are then quads.
  std::optional<Failure> look_for_alpha();
  // Walks the codes, from windows mapped as it needs them, to stored row `until`, into `band` (the
  // band of rows from `first`), or checking when `band` is null.
  std::optional<Failure> walk_to(std::uint64_t until, std::uint64_t first, std::uint8_t* band);

  FileView* view_;
  BmpPixelsAt at_;
  std::uint64_t window_bytes_;
  std::optional<BmpRowDecoder> decoder_;
  std::optional<RunLengthWalk> walk_;
  // The walk's state at the first stored row of each band, in ascending order of rows.
  std::vector<std::pair<std::uint32_t, RunLengthWalk::State>> starts_;
  // Which pixel bytes the view maps now: its window's offset among them.
  std::uint64_t window_at_ = 0;
  bool window_mapped_ = false;
  std::vector<std::uint8_t> triples_;
  bool quads_ = false;
  std::vector<std::uint8_t> alpha_;
  std::vector<BgraQuad> band_quads_;
};
