// The GIF reader: a GIF87a or GIF89a file's frames, each composed onto the logical screen as a
// viewer shows it, as BGRA quads with straight alpha (pixels.h), top row first, read from the file's
// bytes forward.
//
// The canvas is the logical screen's size and starts fully transparent (the background colour index
// is ignored, as browsers ignore it). Each frame draws its pixels, from the global or its local
// colour table, into its rectangle (the part that lies outside the screen is dropped); a pixel of the
// graphic control extension's transparent index leaves the canvas under it as it was. Before the
// next frame is drawn, the frame's disposal method is applied to its rectangle: 0 (none) and 1
// (keep) leave it, 2 (restore to background) clears it to transparent, as browsers do rather than to
// the background colour, and 3 (restore to previous) puts back the canvas as it was before the
// frame. Interlaced frames are drawn in their four passes' rows. A frame's delay is kept in
// milliseconds as stored (hundredths of a second times ten), 0 where no graphic control extension
// gives one. Memory is the canvas, and for a file with frames of disposal 3 what the largest of them
// covers of the canvas before it, whatever the number of frames.
//
// Opening walks every block up to the trailer without decoding, so that the frames are counted and
// their delays known before the first is drawn, and a file cut short or of broken blocks is refused
// before any output is begun. A file is refused, with the reason in plain words, when it is cut
// short or has no trailer, when its screen has no pixels or more than the limit, when a frame has no
// colour table to take its colours from, when a frame's LZW minimum code size is not 2 to 8, when its
// codes name an entry the table has not made yet, when its pixel data ends before its last pixel, and
// when a pixel names an entry past its colour table. Extensions other than the graphic control
// extension (comments, application extensions such as looping) are skipped.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <variant>
#include <vector>

#include "files/byte_windows.h"
#include "files/failure.h"

// True when `bytes` start with GIF87a or GIF89a.
bool has_gif_signature(std::span<const std::uint8_t> bytes);

class GifReader {
 public:
  // Reads the header and walks the blocks. Nothing (monostate) when the file does not start with a
  // GIF signature; the refusal when it does but does not read, or its screen has more than
  // `pixel_limit` pixels. `bytes` must outlive the reader.
  static std::variant<std::monostate, GifReader, Failure> open(ByteWindows& bytes, std::uint64_t pixel_limit);

  GifReader(GifReader&&) noexcept;
  GifReader& operator=(GifReader&&) noexcept;
  ~GifReader();

  std::uint32_t width() const { return width_; }
  std::uint32_t height() const { return height_; }
  std::uint32_t frames() const { return static_cast<std::uint32_t>(delays_ms_.size()); }
  // Each frame's delay, in milliseconds.
  std::span<const std::uint32_t> delays_ms() const { return delays_ms_; }

  // Composes the next frame onto the canvas: the frame before disposed of, then this one drawn.
  // The first call draws the first frame. Not past the last.
  std::optional<Failure> next_frame();
  // Starts again before the first frame.
  void restart();
  // The frames composed so far.
  std::uint32_t composed() const { return composed_; }
  // The canvas as the last frame composed shows it: width * height quads.
  std::span<const std::uint8_t> canvas() const { return canvas_; }

 private:
  struct Cursor;
  // Where a frame lies on the canvas (clipped to it), and how it is disposed of.
  struct Area {
    std::uint32_t left = 0, top = 0, width = 0, height = 0;
    std::uint8_t disposal = 0;
  };

  explicit GifReader(ByteWindows& bytes);
  std::optional<Failure> read_screen(std::uint64_t pixel_limit);
  // Walks the blocks from the first after the screen to the trailer; with `draw`, stops after the
  // next frame's pixels are drawn.
  std::optional<Failure> walk(bool draw);
  std::optional<Failure> draw_frame(std::uint32_t left, std::uint32_t top, std::uint32_t width, std::uint32_t height,
                                    bool interlaced, std::span<const std::uint8_t> palette,
                                    std::optional<std::uint8_t> transparent);
  // Keeps what the frame about to be drawn at `area` covers of the canvas, for disposal 3.
  void keep_under(const Area& area);
  void dispose();

  std::unique_ptr<Cursor> cursor_;
  std::uint32_t width_ = 0;
  std::uint32_t height_ = 0;
  std::vector<std::uint8_t> global_palette_;  // RGB triples
  std::uint64_t first_block_ = 0;
  std::vector<std::uint32_t> delays_ms_;
  std::uint64_t previous_bytes_ = 0;  // of the largest frame of disposal 3, on the canvas

  std::vector<std::uint8_t> canvas_;
  std::vector<std::uint8_t> previous_;  // the canvas under a frame of disposal 3, its rows packed
  std::uint64_t next_block_ = 0;
  std::uint32_t composed_ = 0;
  std::optional<Area> last_;  // the frame last drawn, to be disposed of before the next
};
