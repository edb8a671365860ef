#include "read/bmp_bands.h"

#include <algorithm>
#include <cassert>
#include <new>

#include "codecs/image_codecs.h"
#include "files/view_access.h"

namespace {

bool run_length_coded(const BmpPicture& bmp) { return bmp.compression == bmp_rle8 || bmp.compression == bmp_rle4; }

Failure cut_short() { return Failure{Fault::cannot_open, cut_short_reason, std::nullopt}; }

}  // namespace

BmpBands::BmpBands(FileView& view, const BmpPixelsAt& at, std::uint64_t window_bytes)
    : view_(&view), at_(at), window_bytes_(std::max(window_bytes, longest_code)) {}

std::variant<std::monostate, BmpBands, Failure> BmpBands::find(FileView& view, std::uint64_t window_bytes) {
  std::optional<BmpPixelsAt> found;
  const std::span<const std::uint8_t> start = view.bytes();
  if (access_views([&] { found = find_bmp_pixels(start, view.file_size()); }) != nullptr) return cut_short();
  if (!found) return std::monostate();
  return BmpBands(view, *found, window_bytes);
}

bool BmpBands::any_rows() const { return !run_length_coded(at_.bmp); }

std::uint32_t BmpBands::stride() const {
  if (quads_) return at_.bmp.width * 4;
  return at_.bmp.bits_per_pixel == 24 ? at_.bmp.row_length : at_.bmp.width * 3;
}

std::optional<Failure> BmpBands::map(std::uint64_t offset, std::uint64_t length) {
  window_mapped_ = false;
  if (std::optional<SystemError> error = view_->map_window(at_.pixel_offset + offset, length))
    return Failure{Fault::cannot_open, {}, *error};
  window_at_ = offset;
  window_mapped_ = true;
  return std::nullopt;
}

std::optional<Failure> BmpBands::walk_to(std::uint64_t until, std::uint64_t first, std::uint8_t* band) {
  RunLengthWalk& walk = *walk_;
  while (!walk.reached(until)) {
    const std::uint64_t at = walk.state().at;
    const std::uint64_t left = at_.pixel_bytes - std::min(at, at_.pixel_bytes);
    // The window must hold the next code whole, or every code that is left.
    const bool holds = window_mapped_ && window_at_ <= at && at - window_at_ <= view_->bytes().size() &&
                       (window_at_ + view_->bytes().size() - at >= std::min(longest_code, left));
    if (left != 0 && !holds) {
      if (std::optional<Failure> failed = map(at, std::min(window_bytes_, left))) return failed;
    }
    const std::span<const std::uint8_t> window = left != 0 ? view_->bytes() : std::span<const std::uint8_t>();
    const std::uint64_t window_at = left != 0 ? window_at_ : at;
    const char* problem = nullptr;
    if (access_views([&] { problem = walk.walk(window, window_at, until, first, band); }) != nullptr)
      return cut_short();
    if (problem != nullptr) return Failure{Fault::cannot_open, problem, std::nullopt};
    if (!walk.needs_codes()) break;
    window_mapped_ = false;
  }
  return std::nullopt;
}

std::optional<Failure> BmpBands::look_for_alpha() {
  const BmpPicture& bmp = at_.bmp;
  const auto rows =
      static_cast<std::uint32_t>(std::clamp<std::uint64_t>(window_bytes_ / bmp.row_length, 1, bmp.height));
  if (std::optional<Failure> failed = within_memory("the picture's alpha does not fit in memory",
                                                    [&] { alpha_.resize(std::size_t{bmp.width} * rows); }))
    return std::move(*failed);
  bool any = false;
  for (std::uint32_t first = 0; first < bmp.height && !any; first += rows) {
    const std::uint32_t count = std::min(rows, bmp.height - first);
    if (std::optional<Failure> failed =
            map(std::uint64_t{first} * bmp.row_length, std::uint64_t{count} * bmp.row_length))
      return failed;
    const std::uint8_t* stored = view_->bytes().data();
    if (access_views([&] { any = decode_alpha_rows(bmp, stored, count, alpha_.data()); }) != nullptr)
      return cut_short();
  }
  const std::size_t band = triples_.size() / 3;
  if (std::optional<Failure> failed = within_memory("the picture's alpha does not fit in memory", [&] {
        alpha_.resize(any ? band : 0);
        alpha_.shrink_to_fit();
        band_quads_.resize(any ? band : 0);
      }))
    return std::move(*failed);
  quads_ = any;
  return std::nullopt;
}

std::optional<Failure> BmpBands::survey(std::uint64_t pixel_limit, std::uint32_t band_rows, bool reverse,
                                        bool keep_alpha) {
  BmpPicture& bmp = at_.bmp;
  const std::uint32_t band = std::max<std::uint32_t>(band_rows, 1);
  if (std::optional<Failure> failed = within_memory("the decoded picture does not fit in memory", [&] {
        if (bmp.bits_per_pixel != 24) triples_.resize(std::size_t{bmp.width} * 3 * std::min(band, bmp.height));
      }))
    return std::move(*failed);
  const char* problem = nullptr;
  if (!run_length_coded(bmp)) {
    // The masks alone; rows of a short colour table are checked below, a window at a time.
    if (bmp.bits_per_pixel > 8) problem = check_pixels(bmp);
    if (problem == nullptr && bmp.bits_per_pixel != 24) {
      decoder_.emplace(bmp);
      // Only a table shorter than the depth's can be named past: the check reads every row then.
      if (bmp.bits_per_pixel <= 8 && bmp.colour_count < (1u << bmp.bits_per_pixel)) {
        const auto rows =
            static_cast<std::uint32_t>(std::clamp<std::uint64_t>(window_bytes_ / bmp.row_length, 1, bmp.height));
        for (std::uint32_t first = 0; first < bmp.height && problem == nullptr; first += rows) {
          const std::uint32_t count = std::min(rows, bmp.height - first);
          if (std::optional<Failure> failed =
                  map(std::uint64_t{first} * bmp.row_length, std::uint64_t{count} * bmp.row_length))
            return failed;
          const std::uint8_t* stored = view_->bytes().data();
          if (access_views([&] { problem = decoder_->check(stored, count); }) != nullptr) return cut_short();
        }
      }
      if (std::optional<Failure> failed = keep_alpha && bmp.alpha_mask != 0 ? look_for_alpha() : std::nullopt)
        return failed;
    }
  } else {
    // A few bytes of codes may declare more pixels than the limit allows: refused before the walk,
    // in the words the walk's end would use.
    if (std::optional<Failure> over = over_limit(bmp.width, bmp.height, pixel_limit))
      return Failure{Fault::unsupported, over->reason, std::nullopt};
    walk_.emplace(bmp, at_.pixel_bytes);
    // The first row of every band, in ascending order.
    std::vector<std::uint32_t> firsts;
    // For a picture of very many rows, the table of where each band's codes start.
    const std::string table =
        "the table of its " + std::to_string(bmp.height / band + 1) + " bands does not fit in memory";
    if (std::optional<Failure> failed = within_memory(table, [&]() -> std::optional<Failure> {
          for (std::uint64_t done = 0; done < bmp.height; done += band)
            firsts.push_back(
                reverse ? static_cast<std::uint32_t>(bmp.height - std::min<std::uint64_t>(bmp.height, done + band))
                        : static_cast<std::uint32_t>(done));
          std::sort(firsts.begin(), firsts.end());
          for (const std::uint32_t first : firsts) {
            if (std::optional<Failure> stopped = walk_to(first, 0, nullptr)) return stopped;
            starts_.emplace_back(first, walk_->state());
          }
          return std::nullopt;
        }))
      return std::move(*failed);
    // The rest of the codes, checked as the loader checks them.
    if (std::optional<Failure> failed = walk_to(UINT64_MAX, 0, nullptr)) return failed;
    problem = walk_->table_problem();
  }
  if (problem != nullptr) {
    bmp.verdict = BmpVerdict::not_a_picture;
    bmp.problem = problem;
  } else {
    bmp.verdict = BmpVerdict::picture;
  }
  if (std::optional<Failure> failure = failure_of(bmp, pixel_limit))
    return Failure{failure->fault, std::move(failure->reason), std::nullopt};
  return std::nullopt;
}

std::variant<std::span<const std::uint8_t>, Failure> BmpBands::rows(std::uint32_t first, std::uint32_t count) {
  const BmpPicture& bmp = at_.bmp;
  assert(first < bmp.height && count <= bmp.height - first);
  assert(bmp.bits_per_pixel == 24 || std::size_t{bmp.width} * 3 * count <= triples_.size());
  if (walk_) {
    const auto start = std::lower_bound(starts_.begin(), starts_.end(), first,
                                        [](const auto& entry, std::uint32_t row) { return entry.first < row; });
    assert(start != starts_.end() && start->first == first);
    walk_->resume(start->second);
    walk_->clear_band(triples_.data(), count);
    if (std::optional<Failure> failed = walk_to(std::uint64_t{first} + count, first, triples_.data()))
      return std::move(*failed);
    return std::span<const std::uint8_t>(triples_.data(), std::size_t{bmp.width} * 3 * count);
  }
  if (std::optional<Failure> failed = map(std::uint64_t{first} * bmp.row_length, std::uint64_t{count} * bmp.row_length))
    return std::move(*failed);
  if (!decoder_) return view_->bytes();
  const std::uint8_t* stored = view_->bytes().data();
  if (access_views([&] {
        decoder_->decode(stored, count, triples_.data());
        if (quads_) decode_alpha_rows(bmp, stored, count, alpha_.data());
      }) != nullptr)
    return cut_short();
  const std::size_t pixels = std::size_t{bmp.width} * count;
  if (!quads_) return std::span<const std::uint8_t>(triples_.data(), pixels * 3);
  for (std::size_t k = 0; k < pixels; ++k)
    band_quads_[k] = BgraQuad{triples_[k * 3], triples_[k * 3 + 1], triples_[k * 3 + 2], alpha_[k]};
  return std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(band_quads_.data()), pixels * 4);
}
