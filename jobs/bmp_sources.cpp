#include "jobs/bmp_sources.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <utility>

#include "files/view_access.h"
#include "job/convert.h"
#include "transform/buffers.h"

namespace {

// The same file opened again, for a second view of it.
std::variant<std::monostate, FoundBands, Outcome> find_bands(const std::string& path) {
  std::variant<FileView, Outcome> opened = open_input(path, Ending::cannot_open_input, picture_start_bytes);
  if (Outcome* refused = std::get_if<Outcome>(&opened)) return std::move(*refused);
  auto view = std::make_unique<FileView>(std::get<FileView>(std::move(opened)));
  return find_bands(view);
}

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
    std::optional<Failure> failed = region->bands_.survey(options.pixel_limit, region->band_rows_,
                                                          !region->bands_.top_down(), keeps_alpha(options));
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

}  // namespace

std::variant<std::monostate, FoundBands, Outcome> find_bands(std::unique_ptr<FileView>& view) {
  std::variant<std::monostate, BmpBands, Failure> found = BmpBands::find(*view);
  if (Failure* failed = std::get_if<Failure>(&found)) return refusal(std::move(*failed));
  if (std::holds_alternative<std::monostate>(found)) return std::monostate{};
  return FoundBands{std::move(view), std::get<BmpBands>(std::move(found))};
}

std::unique_ptr<PackSource> bmp_bands_source(FoundBands bmp, std::string path, const PackOptions& options) {
  return std::make_unique<BandsSource>(std::move(bmp), std::move(path), options);
}

std::variant<std::unique_ptr<ChainPicture>, Outcome> bmp_bands_region(FoundBands bmp, const PackOptions& options) {
  return BandsRegion::make(std::move(bmp.view), std::move(bmp.bands), options);
}

std::unique_ptr<PackSource> bmp_stream_source(InputStream& input, const BmpPixelsAt& at, const PackOptions& options) {
  return std::make_unique<StreamBandsSource>(input, at, options);
}
