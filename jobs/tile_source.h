// pack's tiles: a picture cut into tiles of one size, given as the picture of the tiles stacked one
// under another, left to right along each row of tiles and the rows of tiles top to bottom, so that
// the walk packs tile after tile with nothing of its own to learn. The picture under it must give its
// rows top row first as quads (the transform chain's); a row of tiles is held at a time.
#pragma once

#include <memory>
#include <variant>

#include "jobs/pack.h"
#include "jobs/pack_sources.h"

// The tiles of `opened`, a refusal passed on as it is; refused when the picture is not a whole number
// of tiles (naming the sizes that are), when the tiles would stack past what a picture can hold, and
// when mono1's 8-row pages would run from one tile into the next.
std::variant<std::unique_ptr<PackSource>, Outcome> cut_into_tiles(
    std::variant<std::unique_ptr<PackSource>, Outcome> opened, const PackOptions& options);
