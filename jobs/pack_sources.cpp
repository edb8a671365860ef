#include "jobs/pack_sources.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <condition_variable>
#include <cstddef>
#include <cstring>
#include <mutex>
#include <new>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <utility>

#include "codecs/image_codecs.h"
#include "files/file_view.h"
#include "files/view_access.h"
#include "job/convert.h"
#include "jobs/decode_reduction.h"
#include "jobs/png_source.h"
#include "read/bmp_bands.h"
#include "read/bmp_reader.h"
#include "read/bmp_stream_bands.h"
#include "read/exif_orientation.h"
#include "read/gif_reader.h"
#include "read/image_loader.h"
#include "transform/buffers.h"
#include "transform/chain.h"
#include "transform/picture_source.h"

namespace {

// Streaming reads the headers from the file's first bytes; the bands map their own windows.
constexpr std::uint64_t header_bytes = std::uint64_t{64} << 10;

// Why a buffer of `bytes` could not be had.
std::string buffer_reason(std::uint64_t bytes) {
  if (bytes == UINT64_MAX) return "the transforms need a buffer larger than any memory";
  return "the transforms need a buffer of " + std::to_string(bytes) + " bytes";
}

// The picture goes through the transform chain, whose rows are a new picture's, top row first: tiles
// are cut from such rows.
bool transformed(const PackOptions& options) { return options.transforms.any() || options.tiles.has_value(); }

// A BMP's alpha is kept only for a format that has alpha; the others ignore it, as the dialogs do.
bool keeps_alpha(const PackOptions& options) { return format_info(options.pixel_format).alpha_bits != 0; }

// The picture at `path` loaded whole: a BMP, or when the options allow the codecs a picture of theirs,
// a JPEG reduced as `reduce` chooses.
PictureLoad load(const std::string& path, const PackOptions& options, const DecodeReduction& reduce = {}) {
  PictureLoad load = LoadedPicture::load(path.c_str(), options.pixel_limit);
  if (const Failure* failure = std::get_if<Failure>(&load);
      failure != nullptr && failure->fault == Fault::cannot_open && options.codecs) {
    if (std::optional<PictureLoad> decoded = LoadedPicture::load_with_codecs(path.c_str(), options.pixel_limit, reduce))
      load = std::move(*decoded);
  }
  return load;
}

// A loaded picture's stored rows, where they lie.
class LoadedSource : public PackSource {
 public:
  LoadedSource(LoadedPicture picture, const PackOptions& options)
      : picture_(std::move(picture)), background_(options.background), alpha_(keeps_alpha(options)) {}

  std::uint32_t width() const override { return picture_.width(); }
  std::uint32_t height() const override { return picture_.height(); }
  bool top_down() const override { return picture_.top_down(); }

  std::variant<StoredRows, Outcome> ready(std::uint32_t, bool reverse) override {
    return StoredRows{picture_.width(),
                      picture_.height(),
                      picture_.row_length(),
                      reverse,
                      picture_.quads(),
                      background_,
                      alpha_ && !picture_.alpha().empty() ? picture_.alpha().data() : nullptr,
                      true};
  }

  std::variant<std::span<const std::uint8_t>, Outcome> band(std::uint32_t first, std::uint32_t count) override {
    const std::size_t stride = picture_.row_length();
    return picture_.rows().subspan(std::size_t{first} * stride, std::size_t{count} * stride);
  }

 private:
  LoadedPicture picture_;
  BgrTriple background_;
  bool alpha_;
};

// A BMP's band reader over a view of its file; the view must outlive the reader.
struct FoundBands {
  std::unique_ptr<FileView> view;  // the bands map their windows through it
  BmpBands bands;
};

std::variant<std::monostate, FoundBands, Outcome> find_bands(const std::string& path);

// Reads bands of a BMP's rows on a thread of its own, one read at a time, so that the next band is
// read while the walk works on the one before.
class BandThread {
 public:
  BandThread() : thread_([this] { run(); }) {}
  BandThread(const BandThread&) = delete;
  BandThread& operator=(const BandThread&) = delete;
  ~BandThread() {
    {
      const std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }

  // Starts reading `count` rows from `first` on through `bands`, which nothing else may touch until
  // wait() has answered.
  void start(BmpBands& bands, std::uint32_t first, std::uint32_t count) {
    {
      const std::lock_guard lock(mutex_);
      assert(!busy_ && !asked_ && !answer_);
      bands_ = &bands, first_ = first, count_ = count, asked_ = true;
    }
    busy_ = true;
    changed_.notify_all();
  }

  // Whether a read was started and not yet answered, and whether it is of these rows.
  bool busy() const { return busy_; }
  bool reading(std::uint32_t first, std::uint32_t count) const { return busy_ && first_ == first && count_ == count; }

  // The answer of the read started last; read on this thread when the other has not begun it (its
  // core busy with other work), rather than waited for.
  std::variant<std::span<const std::uint8_t>, Failure> wait() {
    assert(busy_);
    busy_ = false;
    std::unique_lock lock(mutex_);
    if (asked_) {
      asked_ = false;
      lock.unlock();
      return bands_->rows(first_, count_);
    }
    changed_.wait(lock, [&] { return answer_.has_value(); });
    std::variant<std::span<const std::uint8_t>, Failure> answer = std::move(*answer_);
    answer_.reset();
    return answer;
  }

 private:
  void run() {
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [&] { return stopping_ || asked_; });
      if (stopping_) return;
      asked_ = false;
      lock.unlock();
      std::variant<std::span<const std::uint8_t>, Failure> answer = bands_->rows(first_, count_);
      lock.lock();
      answer_ = std::move(answer);
      changed_.notify_all();
    }
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  BmpBands* bands_ = nullptr;
  std::uint32_t first_ = 0;
  std::uint32_t count_ = 0;
  bool asked_ = false;
  bool stopping_ = false;
  bool busy_ = false;  // the owner's own: started and not yet waited for
  std::optional<std::variant<std::span<const std::uint8_t>, Failure>> answer_;
  std::thread thread_;  // last: it starts once the rest is in place
};

// A BMP read a band at a time through windows of its file, which stays open meanwhile. A 24-bit
// picture of more than one band is opened twice, each view with its own memory and file position, and
// read on two cores: while the walk works on a band from one view, the band it will most likely ask
// for next is read through the other on a thread of its own, as a walk over the whole picture is bound
// by the copying of the file's bytes into memory as much as by the work on them.
class BandsSource : public PackSource {
 public:
  BandsSource(FoundBands bmp, std::string path, const PackOptions& options)
      : path_(std::move(path)), options_(options) {
    readers_[0].emplace(std::move(bmp));
  }

  std::uint32_t width() const override { return bands().width(); }
  std::uint32_t height() const override { return bands().height(); }
  bool top_down() const override { return bands().top_down(); }

  std::variant<StoredRows, Outcome> ready(std::uint32_t band_rows, bool reverse) override {
    // Its pixels are checked first, as the loader checks them, so that a refused file is refused
    // before any output is begun.
    if (std::optional<Failure> failed = survey(0, band_rows, reverse)) return refusal(std::move(*failed));
    band_rows_ = std::max<std::uint32_t>(band_rows, 1), reverse_ = reverse, last_band_.reset();
    read_ahead_ = false;
    if (bands().file_rows() && bands().height() > band_rows_ && std::thread::hardware_concurrency() > 1 &&
        open_second() && !survey(1, band_rows, reverse)) {
      try {
        if (!thread_) thread_.emplace();
        read_ahead_ = true;
      } catch (const std::system_error&) {
        // No thread to be had: the rows are read on this one.
      }
    }
    const BmpBands& bmp = bands();
    return StoredRows{bmp.width(), bmp.height(),        bmp.stride(), reverse,
                      bmp.quads(), options_.background, nullptr,      bmp.any_rows()};
  }

  std::variant<std::span<const std::uint8_t>, Outcome> band(std::uint32_t first, std::uint32_t count) override {
    std::variant<std::span<const std::uint8_t>, Failure> got =
        read_ahead_ ? read_ahead(first, count) : readers_[0]->bands.rows(first, count);
    if (Failure* failed = std::get_if<Failure>(&got)) return refusal(std::move(*failed));
    return std::get<0>(got);
  }

 private:
  const BmpBands& bands() const { return readers_[0]->bands; }

  // Whether the second view is open: none where the system lets a file be viewed only once (the
  // Win32 build), or where the path now names another file.
  bool open_second() {
    if (readers_[1]) return true;
    std::variant<std::monostate, FoundBands, Outcome> again = find_bands(path_);
    FoundBands* other = std::get_if<FoundBands>(&again);
    if (other == nullptr || !other->view->same_file(*readers_[0]->view)) return false;
    readers_[1].emplace(std::move(*other));
    return true;
  }

  std::optional<Failure> survey(int reader, std::uint32_t band_rows, bool reverse) {
    if (thread_ && thread_->busy()) thread_->wait();
    return readers_[reader]->bands.survey(options_.pixel_limit, band_rows, reverse, keeps_alpha(options_));
  }

  // The rows asked for: the band read ahead when it is that one, else read here through the view
  // whose band was handed on last, no longer needed once asked past. The band the walk will most
  // likely ask for next is then read through the other view.
  std::variant<std::span<const std::uint8_t>, Failure> read_ahead(std::uint32_t first, std::uint32_t count) {
    std::optional<std::variant<std::span<const std::uint8_t>, Failure>> got;
    if (thread_->reading(first, count)) {
      got = thread_->wait();
      held_ = 1 - held_;
    } else {
      got = readers_[held_]->bands.rows(first, count);
    }
    const std::optional<std::pair<std::uint32_t, std::uint32_t>> next = next_band(first, count);
    if (!next || std::holds_alternative<Failure>(*got)) return std::move(*got);
    if (thread_->busy() && !thread_->reading(next->first, next->second)) thread_->wait();
    if (!thread_->busy()) thread_->start(readers_[1 - held_]->bands, next->first, next->second);
    return std::move(*got);
  }

  // When (first, count) is one of the bands readied, the band after it in the walk's order, or the
  // one before it when the walk goes the other way round (the band asked for before it was the next).
  std::optional<std::pair<std::uint32_t, std::uint32_t>> next_band(std::uint32_t first, std::uint32_t count) {
    const std::uint32_t height = bands().height();
    const std::uint32_t done = reverse_ ? height - first - count : first;
    if (done % band_rows_ != 0 || count != std::min(band_rows_, height - done)) return std::nullopt;
    const std::uint32_t k = done / band_rows_;
    const bool backwards = last_band_ && *last_band_ == std::uint64_t{k} + 1;
    last_band_ = k;
    if (backwards ? k == 0 : std::uint64_t{done} + band_rows_ >= height) return std::nullopt;
    const std::uint32_t next = backwards ? done - band_rows_ : done + band_rows_;
    const std::uint32_t rows = std::min(band_rows_, height - next);
    return std::pair{reverse_ ? height - next - rows : next, rows};
  }

  std::string path_;
  const PackOptions& options_;
  // The first reads on this thread; the second, of the same file, only while the first's band is
  // worked on.
  std::array<std::optional<FoundBands>, 2> readers_;
  std::uint32_t band_rows_ = 1;
  bool reverse_ = false;
  std::optional<std::uint32_t> last_band_;
  bool read_ahead_ = false;
  // The reader whose band was handed on last; the thread reads through the other.
  int held_ = 0;
  std::optional<BandThread> thread_;  // after the readers, so that it stops before they close
};

// The picture under the transform chain. Reading it may find its file cut short or unreadable:
// read() then keeps the failure, for the walk to report once the chain has given its band.
class ChainPicture : public RegionSource {
 public:
  const std::optional<Failure>& failure() const { return failure_; }

 protected:
  std::optional<Failure> failure_;
};

// A picture loaded whole (the codecs'), whose rows may lie in a view of its file.
class LoadedRegion : public ChainPicture {
 public:
  LoadedRegion(LoadedPicture picture, const PackOptions& options)
      : picture_(std::move(picture)),
        stored_(picture_.rows(), picture_.row_length(), picture_.width(), picture_.height(), picture_.top_down(),
                picture_.quads(),
                keeps_alpha(options) && !picture_.alpha().empty() ? picture_.alpha().data() : nullptr) {}

  std::uint32_t width() const override { return stored_.width(); }
  std::uint32_t height() const override { return stored_.height(); }
  void read(const Rect& rect, BgraQuad* out) override {
    if (!failure_ && access_views([&] { stored_.read(rect, out); }) != nullptr)
      failure_ = Failure{Fault::cannot_open, cut_short_reason};
  }

 private:
  LoadedPicture picture_;
  StoredPicture stored_;
};

// A BMP read through windows of its file a band of rows at a time, as the chain asks for its rows:
// one band is held, so a crop reads only the bands that hold the rows it keeps, and no transform
// maps the whole file. The bands are fixed top row first (from the file's end when it stores its
// bottom row first), as run-length coded rows can only be decoded from a band's start.
class BandsRegion : public ChainPicture {
 public:
  static std::variant<std::unique_ptr<ChainPicture>, Outcome> make(std::unique_ptr<FileView> view, BmpBands bands,
                                                                   const PackOptions& options) {
    std::unique_ptr<BandsRegion> region(new BandsRegion(std::move(view), std::move(bands)));
    const std::uint32_t width = region->bands_.width(), height = region->bands_.height();
    // About a megabyte of quads a band, and never less than a row.
    region->band_rows_ = static_cast<std::uint32_t>(std::clamp<std::uint64_t>(
        (std::uint64_t{1} << 20) / (std::uint64_t{width} * 4), 1, std::max<std::uint32_t>(height, 1)));
    // What the bands decode into, checked here so that no size wraps around in the 32-bit build.
    const std::uint64_t band_bytes = product(product(width, 4), region->band_rows_);
    if (band_bytes > PTRDIFF_MAX) return refusal(Ending::out_of_memory, buffer_reason(band_bytes));
    std::optional<Failure> failed;
    try {
      failed = region->bands_.survey(options.pixel_limit, region->band_rows_, !region->bands_.top_down(),
                                     keeps_alpha(options));
    } catch (const std::length_error&) {
      // The table of where each band's codes start, for a picture of very many rows.
      failed = Failure{Fault::out_of_memory, "the table of its " + std::to_string(height / region->band_rows_ + 1) +
                                                 " bands does not fit in memory"};
    }
    if (failed && failed->fault == Fault::out_of_memory)
      failed->reason += " (a band of its rows takes " + std::to_string(band_bytes) + " bytes)";
    if (failed) return refusal(std::move(*failed));
    return std::unique_ptr<ChainPicture>(std::move(region));
  }

  std::uint32_t width() const override { return bands_.width(); }
  std::uint32_t height() const override { return bands_.height(); }

  void read(const Rect& rect, BgraQuad* out) override {
    const std::uint32_t end = rect.y + rect.height;
    for (std::uint32_t y = rect.y; y < end && !failure_;) {
      const std::uint32_t band = y / band_rows_;
      if (!hold(band)) return;
      const std::uint32_t rows = std::min(end, held_end_) - y;
      copy(rect, y, rows, out);
      out += std::size_t{rect.width} * rows;
      y += rows;
    }
  }

 private:
  BandsRegion(std::unique_ptr<FileView> view, BmpBands bands) : view_(std::move(view)), bands_(std::move(bands)) {}

  // Reads band `band` (top rows band * band_rows_ on) unless it is the one held; false on a failure.
  bool hold(std::uint32_t band) {
    if (held_ && band == held_band_) return true;
    held_ = false;
    const std::uint32_t height = bands_.height();
    const std::uint32_t top = band * band_rows_;
    const std::uint32_t count = std::min(band_rows_, height - top);
    const std::uint32_t first = bands_.top_down() ? top : height - top - count;
    std::variant<std::span<const std::uint8_t>, Failure> got = bands_.rows(first, count);
    if (Failure* failed = std::get_if<Failure>(&got)) {
      failure_ = std::move(*failed);
      return false;
    }
    rows_ = std::get<0>(got);
    held_first_ = first;
    held_end_ = top + count;
    held_band_ = band;
    held_ = true;
    return true;
  }

  // Top rows y to y + rows - 1 of `rect`, from the band held, into `out`.
  void copy(const Rect& rect, std::uint32_t y, std::uint32_t rows, BgraQuad* out) {
    const std::uint32_t stride = bands_.stride();
    const bool quads = bands_.quads();
    const std::uint32_t height = bands_.height();
    const bool top_down = bands_.top_down();
    const std::uint8_t* base = rows_.data();
    const std::uint32_t held_first = held_first_;
    // A 24-bit band lies in the file's window, which another program may cut short under it.
    if (access_views([&] {
          for (std::uint32_t row = 0; row < rows; ++row) {
            const std::uint32_t stored = top_down ? y + row : height - 1 - (y + row);
            const std::uint8_t* pixel = base + std::size_t{stored - held_first} * stride;
            BgraQuad* to = out + std::size_t{row} * rect.width;
            if (quads) {
              std::memcpy(to, pixel + std::size_t{rect.x} * 4, std::size_t{rect.width} * 4);
              continue;
            }
            pixel += std::size_t{rect.x} * 3;
            for (std::uint32_t x = 0; x < rect.width; ++x, pixel += 3) to[x] = {pixel[0], pixel[1], pixel[2], 255};
          }
        }) != nullptr)
      failure_ = Failure{Fault::cannot_open, cut_short_reason};
  }

  std::unique_ptr<FileView> view_;  // the bands map their windows through it
  BmpBands bands_;
  std::uint32_t band_rows_ = 1;
  std::span<const std::uint8_t> rows_;
  std::uint32_t held_first_ = 0;  // the band's first stored row
  std::uint32_t held_end_ = 0;    // the top row after the band
  std::uint32_t held_band_ = 0;
  bool held_ = false;
};

// A BMP read from a stream as its bytes come, a band at a time in stored order.
class StreamBandsSource : public PackSource {
 public:
  StreamBandsSource(InputStream& input, const BmpPixelsAt& at, const PackOptions& options)
      : bands_(input, at), options_(options) {}

  std::uint32_t width() const override { return bands_.width(); }
  std::uint32_t height() const override { return bands_.height(); }
  bool top_down() const override { return bands_.top_down(); }

  // A stream is read in stored order only: open_stream stages a picture to be reversed.
  std::variant<StoredRows, Outcome> ready(std::uint32_t band_rows, [[maybe_unused]] bool reverse) override {
    assert(!reverse);
    if (std::optional<Failure> failed = bands_.ready(band_rows)) return refusal(std::move(*failed));
    return StoredRows{bands_.width(), bands_.height(), bands_.stride(), false, false, options_.background};
  }

  std::variant<std::span<const std::uint8_t>, Outcome> band(std::uint32_t first, std::uint32_t count) override {
    std::variant<std::span<const std::uint8_t>, Failure> got = bands_.rows(first, count);
    if (Failure* failed = std::get_if<Failure>(&got)) return refusal(std::move(*failed));
    return std::get<0>(got);
  }

 private:
  BmpStreamBands bands_;
  const PackOptions& options_;
};

// A picture cropped, turned or resized by the transform chain: a new picture stored top row first,
// as quads with their transparency. A walk that starts again from the first band (a format that
// counts colours first, or writes two planes) makes the chain again.
class ChainSource : public PackSource {
 public:
  // The chain of `transforms`, or of the options' own.
  static std::variant<std::unique_ptr<PackSource>, Outcome> make(std::unique_ptr<ChainPicture> picture,
                                                                 const PackOptions& options,
                                                                 std::optional<Transforms> transforms = std::nullopt) {
    std::unique_ptr<ChainSource> source(
        new ChainSource(std::move(picture), options, transforms ? *transforms : options.transforms));
    try {
      if (std::optional<Outcome> refused = source->make_chain(0)) return std::move(*refused);
    } catch (const BufferTooLarge& too_large) {
      return refusal(Ending::out_of_memory, buffer_reason(too_large.bytes()));
    } catch (const std::bad_alloc&) {
      return refusal(Ending::out_of_memory);
    }
    return std::unique_ptr<PackSource>(std::move(source));
  }

  std::uint32_t width() const override { return chain_->width(); }
  std::uint32_t height() const override { return chain_->height(); }
  bool top_down() const override { return true; }

  std::variant<StoredRows, Outcome> ready(std::uint32_t band_rows, bool) override {
    try {
      band_rows_ = band_rows;
      // The chain made to size the picture serves, unread, when its bands are large enough: a turn
      // then reads and holds its picture once.
      if (next_ != 0 || band_rows > chain_->band_rows()) {
        if (std::optional<Outcome> refused = make_chain(band_rows)) return std::move(*refused);
      }
      allocate(quads_, product(chain_->width(), chain_->band_rows()));
    } catch (const BufferTooLarge& too_large) {
      return refusal(Ending::out_of_memory, buffer_reason(too_large.bytes()));
    } catch (const std::bad_alloc&) {
      return refusal(Ending::out_of_memory);
    }
    return StoredRows{chain_->width(), chain_->height(), chain_->width() * 4, false, true, options_.background};
  }

  std::variant<std::span<const std::uint8_t>, Outcome> band(std::uint32_t first, std::uint32_t count) override {
    if (first == 0 && next_ != 0) {
      try {
        if (std::optional<Outcome> refused = make_chain(band_rows_)) return std::move(*refused);
      } catch (const BufferTooLarge& too_large) {
        return refusal(Ending::out_of_memory, buffer_reason(too_large.bytes()));
      } catch (const std::bad_alloc&) {
        return refusal(Ending::out_of_memory);
      }
    }
    assert(first == next_);
    chain_->next_quads(count, quads_.data());
    if (const std::optional<Failure>& failed = picture_->failure()) return refusal(*failed);
    next_ = first + count;
    return std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(quads_.data()),
                                         std::size_t{chain_->width()} * count * 4);
  }

 private:
  ChainSource(std::unique_ptr<ChainPicture> picture, const PackOptions& options, const Transforms& transforms)
      : picture_(std::move(picture)), options_(options), transforms_(transforms) {}

  // Throws BufferTooLarge when the chain's rows and tables find no memory.
  std::optional<Outcome> make_chain(std::uint32_t band_rows) {
    chain_.reset();
    ChainMade made = TransformChain::make(*picture_, transforms_, options_.background, band_rows, options_.pixel_limit);
    if (Failure* failed = std::get_if<Failure>(&made)) return refusal(std::move(*failed));
    chain_ = std::move(std::get<std::unique_ptr<TransformChain>>(made));
    next_ = 0;
    return std::nullopt;
  }

  std::unique_ptr<ChainPicture> picture_;
  const PackOptions& options_;
  Transforms transforms_;
  std::unique_ptr<TransformChain> chain_;
  std::uint32_t band_rows_ = 0;
  std::uint32_t next_ = 0;
  std::vector<BgraQuad> quads_;
};

// The canvas an animation's frames are composed on, under the transform chain.
class CanvasRegion : public ChainPicture {
 public:
  CanvasRegion(std::span<const std::uint8_t> quads, std::uint32_t width, std::uint32_t height)
      : stored_(quads, width * 4, width, height, true, true) {}

  std::uint32_t width() const override { return stored_.width(); }
  std::uint32_t height() const override { return stored_.height(); }
  void read(const Rect& rect, BgraQuad* out) override { stored_.read(rect, out); }

 private:
  StoredPicture stored_;
};

// The canvas's rows, where they lie.
class CanvasSource : public PackSource {
 public:
  CanvasSource(std::span<const std::uint8_t> quads, std::uint32_t width, std::uint32_t height,
               const PackOptions& options)
      : quads_(quads), width_(width), height_(height), background_(options.background) {}

  std::uint32_t width() const override { return width_; }
  std::uint32_t height() const override { return height_; }
  bool top_down() const override { return true; }
  std::variant<StoredRows, Outcome> ready(std::uint32_t, bool reverse) override {
    return StoredRows{width_, height_, width_ * 4, reverse, true, background_};
  }
  std::variant<std::span<const std::uint8_t>, Outcome> band(std::uint32_t first, std::uint32_t count) override {
    return quads_.subspan(std::size_t{first} * width_ * 4, std::size_t{count} * width_ * 4);
  }

 private:
  std::span<const std::uint8_t> quads_;
  std::uint32_t width_;
  std::uint32_t height_;
  BgrTriple background_;
};

// A GIF's frames, composed one at a time by the project's reader onto its canvas, which it holds
// with the canvas before a frame of disposal 3 and nothing more, whatever the number of frames. Each
// frame is packed from the canvas, or through the transform chain over it; a walk that starts again
// from the first band reads the same canvas again.
class GifSource : public PackSource {
 public:
  // The source of the GIF at `path`; nothing when the file is no GIF.
  static std::optional<std::variant<std::unique_ptr<PackSource>, Outcome>> open(const std::string& path,
                                                                                const PackOptions& options) {
    std::variant<FileView, Outcome> opened = open_input(path, Ending::cannot_open_input, header_bytes);
    if (Outcome* refused = std::get_if<Outcome>(&opened)) return std::move(*refused);
    auto view = std::make_unique<FileView>(std::get<FileView>(std::move(opened)));
    auto bytes = std::make_unique<ViewByteWindows>(*view);
    std::variant<std::monostate, GifReader, Failure> found = GifReader::open(*bytes, options.pixel_limit);
    if (Failure* failed = std::get_if<Failure>(&found)) return refusal(std::move(*failed));
    GifReader* reader = std::get_if<GifReader>(&found);
    if (reader == nullptr) return std::nullopt;
    std::unique_ptr<GifSource> source(new GifSource(std::move(view), std::move(bytes), std::move(*reader), options));
    if (std::optional<Outcome> refused = source->show_frame(0)) return std::move(*refused);
    return std::unique_ptr<PackSource>(std::move(source));
  }

  std::uint32_t width() const override { return shown_->width(); }
  std::uint32_t height() const override { return shown_->height(); }
  bool top_down() const override { return true; }
  std::variant<StoredRows, Outcome> ready(std::uint32_t band_rows, bool reverse) override {
    return shown_->ready(band_rows, reverse);
  }
  std::variant<std::span<const std::uint8_t>, Outcome> band(std::uint32_t first, std::uint32_t count) override {
    return shown_->band(first, count);
  }

  std::uint32_t frames() const override { return reader_.frames(); }
  std::uint32_t delay_ms(std::uint32_t index) const override { return reader_.delays_ms()[index]; }

  std::optional<Outcome> show_frame(std::uint32_t index) override {
    assert(index < reader_.frames() && index + 1 >= reader_.composed());
    while (reader_.composed() <= index) {
      if (std::optional<Failure> failed = reader_.next_frame()) return refusal(std::move(*failed));
    }
    // The chain is made again for each frame: a quarter turn holds the picture it turned.
    shown_.reset();
    if (!options_.transforms.any()) {
      shown_ = std::make_unique<CanvasSource>(reader_.canvas(), reader_.width(), reader_.height(), options_);
      return std::nullopt;
    }
    std::variant<std::unique_ptr<PackSource>, Outcome> chain = ChainSource::make(
        std::make_unique<CanvasRegion>(reader_.canvas(), reader_.width(), reader_.height()), options_);
    if (Outcome* refused = std::get_if<Outcome>(&chain)) return std::move(*refused);
    shown_ = std::get<std::unique_ptr<PackSource>>(std::move(chain));
    return std::nullopt;
  }

 private:
  GifSource(std::unique_ptr<FileView> view, std::unique_ptr<ViewByteWindows> bytes, GifReader reader,
            const PackOptions& options)
      : view_(std::move(view)), bytes_(std::move(bytes)), reader_(std::move(reader)), options_(options) {}

  // In the order the reader needs them: it reads through the bytes, which map windows of the view.
  std::unique_ptr<FileView> view_;
  std::unique_ptr<ViewByteWindows> bytes_;
  GifReader reader_;
  const PackOptions& options_;
  std::unique_ptr<PackSource> shown_;
};

// The transform chain over the picture at `path`: a BMP read through windows of its file, or a
// picture of the codecs, decoded whole.
// A BMP's band reader over a view of its file; nothing when the file is no BMP (another reader's
// to take); or the refusal of a file that cannot be opened or was cut short under the reading.
std::variant<std::monostate, FoundBands, Outcome> find_bands(const std::string& path) {
  std::variant<FileView, Outcome> opened = open_input(path, Ending::cannot_open_input, header_bytes);
  if (Outcome* refused = std::get_if<Outcome>(&opened)) return std::move(*refused);
  auto view = std::make_unique<FileView>(std::get<FileView>(std::move(opened)));
  std::variant<std::monostate, BmpBands, Failure> found = BmpBands::find(*view);
  if (Failure* failed = std::get_if<Failure>(&found)) return refusal(std::move(*failed));
  if (std::holds_alternative<std::monostate>(found)) return std::monostate{};
  return FoundBands{std::move(view), std::get<BmpBands>(std::move(found))};
}

// What lays upright the picture at `path`, a JPEG, PNG or TIFF, as its EXIF orientation says
// (read/exif_orientation.h), when the options ask for it; nothing to do when it cannot be opened,
// which the reading proper then reports. BMPs, which have no orientation, are never asked, so that
// they are opened once, as they always were.
Orientation upright_of(const std::string& path, const PackOptions& options) {
  if (!options.codecs || !options.upright) return {};
  std::variant<FileView, Outcome> opened = open_input(path, Ending::cannot_open_input, header_bytes);
  FileView* view = std::get_if<FileView>(&opened);
  if (view == nullptr) return {};
  ViewByteWindows bytes(*view);
  return upright_from_exif(picture_orientation(bytes));
}

// `upright` is what lays the picture upright, when it is known already.
std::variant<std::unique_ptr<PackSource>, Outcome> open_chain(const std::string& path, const PackOptions& options,
                                                              std::optional<Orientation> upright = std::nullopt) {
  std::variant<std::monostate, FoundBands, Outcome> found = find_bands(path);
  if (Outcome* refused = std::get_if<Outcome>(&found)) return std::move(*refused);
  if (FoundBands* bmp = std::get_if<FoundBands>(&found)) {
    std::variant<std::unique_ptr<ChainPicture>, Outcome> region =
        BandsRegion::make(std::move(bmp->view), std::move(bmp->bands), options);
    if (Outcome* refused = std::get_if<Outcome>(&region)) return std::move(*refused);
    return ChainSource::make(std::get<std::unique_ptr<ChainPicture>>(std::move(region)), options);
  }
  Transforms upright_transforms = options.transforms;
  upright_transforms.upright = upright ? *upright : upright_of(path, options);
  // No view is left open: the loader opens the file again, and a view holds it alone.
  // A JPEG that the resize shrinks far is decoded reduced, and the chain then works in its pixels.
  PictureLoad loaded = load_for_transforms([&](const DecodeReduction& reduce) { return load(path, options, reduce); },
                                           upright_transforms);
  if (const Failure* failure = std::get_if<Failure>(&loaded)) return refusal(*failure);
  LoadedPicture& picture = std::get<LoadedPicture>(loaded);
  const Transforms transforms = reduced_transforms(upright_transforms, picture.reduced());
  return ChainSource::make(std::make_unique<LoadedRegion>(std::move(picture), options), options, transforms);
}

// A BMP to be read band by band, when streaming; nothing when the file is not a BMP (the loader,
// and the codecs, then say what it is).
std::optional<std::variant<std::unique_ptr<PackSource>, Outcome>> open_bands(const std::string& path,
                                                                             const PackOptions& options) {
  std::variant<std::monostate, FoundBands, Outcome> found = find_bands(path);
  if (Outcome* refused = std::get_if<Outcome>(&found)) return std::move(*refused);
  FoundBands* bmp = std::get_if<FoundBands>(&found);
  if (bmp == nullptr) return std::nullopt;
  return std::unique_ptr<PackSource>(std::make_unique<BandsSource>(std::move(*bmp), path, options));
}

// A stream's first bytes: a BMP's headers and colour table fit in them.
constexpr std::size_t stream_start_bytes = 64 << 10;

// The picture on `input`: read as it comes, or the path of the copy that the stream was staged
// into (`staged`), or the refusal of a stream that is not a picture or is longer than one can be.
std::variant<std::unique_ptr<PackSource>, Outcome> open_stream(InputStream& input, const PackOptions& options,
                                                               std::string& staged) {
  const std::string name(input.name());
  std::variant<std::span<const std::uint8_t>, Failure> peeked = input.peek(stream_start_bytes);
  if (Failure* failed = std::get_if<Failure>(&peeked)) return refusal(std::move(*failed));
  const std::span<const std::uint8_t> start = std::get<0>(peeked);
  const bool bmp = start.size() >= 2 && start[0] == 'B' && start[1] == 'M';
  // Known by its first bytes, so that a stream of anything else (an endless one among them) is
  // refused before it is read any further.
  if (!bmp && !options.codecs)
    return refusal(Ending::cannot_open_input, "not a BMP file: " + name + " does not start as one");
  if (!bmp && picture_format_of(start) == nullptr) {
    std::string reason = not_a_picture_reason(start);
    if (reason.rfind("not ", 0) == 0) reason += ": " + name + " does not start as one";
    return refusal(Ending::cannot_open_input, std::move(reason));
  }
  std::uint64_t limit = stream_stage_limit(options.pixel_limit);
  bool whole = false;  // the limit is the picture's own length, and bytes past it are not its own
  if (bmp) {
    // Of any length: the rows are read as they come, and a stream that ends early is cut short.
    const std::optional<BmpPixelsAt> at = find_bmp_pixels(start, UINT64_MAX);
    if (!at) {
      std::optional<Failure> failed = failure_of(read_bmp(start), options.pixel_limit);
      return refusal(failed ? std::move(*failed) : Failure{Fault::cannot_open, "not a BMP file", std::nullopt});
    }
    const bool reverse = options.top_down && !at->bmp.top_down;
    if (options.stream && !transformed(options) && !reverse && format_walks_once(options) &&
        BmpStreamBands::streams(*at, keeps_alpha(options)))
      return std::unique_ptr<PackSource>(std::make_unique<StreamBandsSource>(input, *at, options));
    if (std::optional<CodecFailure> over = over_limit(at->bmp.width, at->bmp.height, options.pixel_limit))
      return refusal(Ending::unsupported_picture,
                     over->reason + "; from " + name + " a BMP is copied whole when it is not read as it comes");
    const bool run_length = at->bmp.compression == bmp_rle8 || at->bmp.compression == bmp_rle4;
    if (!run_length) {
      limit = at->pixel_offset + at->pixel_bytes;
      whole = true;
    }
  }
  std::variant<StagedInput, Failure> copied = input.stage(limit);
  if (Failure* failed = std::get_if<Failure>(&copied)) return refusal(std::move(*failed));
  StagedInput& copy = std::get<StagedInput>(copied);
  if (copy.longer && !whole)
    return refusal(Ending::unsupported_picture,
                   name + " holds more than the " + std::to_string(limit) + " bytes that a picture of --max-pixels " +
                       std::to_string(options.pixel_limit) + " may take (9 bytes a pixel and 1 MiB)");
  staged = std::move(copy.path);
  return nullptr;
}

}  // namespace

std::uint64_t stream_stage_limit(std::uint64_t pixel_limit) {
  constexpr std::uint64_t slack = std::uint64_t{1} << 20;
  if (pixel_limit > (UINT64_MAX - slack) / 9) return UINT64_MAX;
  return pixel_limit * 9 + slack;
}

std::variant<std::unique_ptr<PackSource>, Outcome> open_pack_source(const std::string& given,
                                                                    const PackOptions& options, InputStream* input) {
  std::string staged;
  if (input != nullptr) {
    std::variant<std::unique_ptr<PackSource>, Outcome> opened = open_stream(*input, options, staged);
    if (std::holds_alternative<Outcome>(opened) || std::get<std::unique_ptr<PackSource>>(opened) != nullptr)
      return opened;
  }
  const std::string& path = input != nullptr ? staged : given;
  // A BMP read in bands is looked for first, so that its file is opened once, as it is read.
  const bool in_bands = options.stream && !transformed(options);
  if (in_bands) {
    if (std::optional<std::variant<std::unique_ptr<PackSource>, Outcome>> bands = open_bands(path, options))
      return std::move(*bands);
  }
  // A GIF is read by the project's own reader, which gives every frame alike on both builds.
  if (options.codecs) {
    if (std::optional<std::variant<std::unique_ptr<PackSource>, Outcome>> gif = GifSource::open(path, options))
      return std::move(*gif);
  }
  std::optional<Orientation> upright;  // once known
  if (in_bands) {
    // A picture stored on its side is laid upright by the chain, which a PNG read in bands would
    // pass by.
    upright = upright_of(path, options);
    if (*upright != Orientation{}) return open_chain(path, options, upright);
    if (options.codecs) {
      if (std::optional<std::variant<std::unique_ptr<PackSource>, Outcome>> png = open_png_bands(path, options))
        return std::move(*png);
    }
  }
  if (transformed(options)) return open_chain(path, options);
  PictureLoad loaded = load(path, options);
  if (const Failure* failure = std::get_if<Failure>(&loaded)) return refusal(*failure);
  LoadedPicture& picture = std::get<LoadedPicture>(loaded);
  // A codec's picture (its rows are quads; a BMP's are not) may need laying upright.
  if (picture.quads()) {
    Transforms transforms = options.transforms;
    transforms.upright = upright ? *upright : upright_of(path, options);
    if (transforms.any())
      return ChainSource::make(std::make_unique<LoadedRegion>(std::move(picture), options), options, transforms);
  }
  return std::unique_ptr<PackSource>(std::make_unique<LoadedSource>(std::move(picture), options));
}
