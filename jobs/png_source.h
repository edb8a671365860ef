// Pack's source for a PNG stored row after row, when streaming and untransformed: its rows read a
// band at a time by the PNG reader through windows of its file, which stays open meanwhile, so that
// a PNG of any size packs in a few megabytes. A walk that starts again from the first band (a format
// that counts colours first, or writes two planes) inflates the pixels again from the first IDAT.
#pragma once

#include <memory>
#include <optional>
#include <variant>

#include "files/byte_windows.h"
#include "files/file_view.h"
#include "jobs/chain_source.h"
#include "jobs/pack.h"
#include "jobs/pack_sources.h"

// The source of the PNG whose file `view` holds, read through `bytes` (windows of that view), both
// of which it then takes; or the refusal of one whose header does not read; nothing when the file is
// not a PNG, or is an interlaced one, whose rows come only once it is read whole (the image loader
// then reads it), the view and bytes left to the caller.
std::optional<std::variant<std::unique_ptr<PackSource>, Outcome>> open_png_bands(
    std::unique_ptr<FileView>& view, std::unique_ptr<ViewByteWindows>& bytes, const PackOptions& options);

// The same PNG as the transform chain's picture, for transforms that read it downward (no turn, no
// mirror top to bottom): its rows inflated as the chain's bands ask for them, so that a crop or a
// resize of a PNG of any size takes a few bands of memory rather than the whole picture.
std::optional<std::variant<std::unique_ptr<ChainPicture>, Outcome>> open_png_region(
    std::unique_ptr<FileView>& view, std::unique_ptr<ViewByteWindows>& bytes, const PackOptions& options);
