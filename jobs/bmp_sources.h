// Pack's sources for a BMP read a band of rows at a time, so that a picture of any size packs in a
// few megabytes: through windows of its file, as it is stored or under the transform chain, or from
// a stream as its bytes come.
#pragma once

#include <memory>
#include <string>
#include <variant>

#include "files/byte_stream.h"
#include "files/file_view.h"
#include "jobs/chain_source.h"
#include "jobs/pack_sources.h"
#include "read/bmp_bands.h"
#include "read/bmp_stream_bands.h"

// A BMP's band reader over a view of its file; the view must outlive the reader.
struct FoundBands {
  std::unique_ptr<FileView> view;  // the bands map their windows through it
  BmpBands bands;
};

// The band reader of the BMP whose file `view` holds, mapped from its start, which it then takes;
// nothing when its headers are not a picture's (the image loader then says why), the view left to
// the caller; or the refusal of a file cut short under the reading.
std::variant<std::monostate, FoundBands, Outcome> find_bands(std::unique_ptr<FileView>& view);

// The BMP's stored rows as they lie in its file at `path`, read on two cores where it pays.
std::unique_ptr<PackSource> bmp_bands_source(FoundBands bmp, std::string path, const PackOptions& options);

// The BMP as the transform chain reads it, a band at a time; or the refusal of a picture whose pixels
// do not convert.
std::variant<std::unique_ptr<ChainPicture>, Outcome> bmp_bands_region(FoundBands bmp, const PackOptions& options);

// The BMP on `input`, whose pixels start where `at` says, read as its bytes come in stored order.
std::unique_ptr<PackSource> bmp_stream_source(InputStream& input, const BmpPixelsAt& at, const PackOptions& options);
