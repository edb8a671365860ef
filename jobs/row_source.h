// Pack's source for a TGA or PNM, when streaming: its rows read a band at a time from a map of its
// file, which stays open meanwhile. Once the reader has checked the pixels, any row reads on its
// own, so the bands come in any order, downward or upward: a run-length coded TGA or a PBM of a few
// megabytes packs, is cropped, resized or mirrored in a few megabytes rather than as its whole
// picture. Where each row lies at its place in the file (an uncompressed TGA, binary samples), a
// quarter turn reads the picture's columns from the file too; otherwise the chain holds the
// picture it turns, once.
#pragma once

#include <memory>
#include <optional>
#include <variant>

#include "files/file_view.h"
#include "jobs/pack.h"
#include "jobs/pack_sources.h"
#include "read/picture_types.h"

// The source of the picture of `type` (TGA or PNM) whose file `view` holds, which it then takes: its
// rows as they are stored, or through the chain of `transforms` (with tiles, an empty chain) when
// there are any; or the refusal of one that does not read; nothing when the file is not one after
// all, the view left to the caller.
std::optional<std::variant<std::unique_ptr<PackSource>, Outcome>> open_row_source(std::unique_ptr<FileView>& view,
                                                                                  PictureType type,
                                                                                  const PackOptions& options,
                                                                                  const Transforms& transforms);
