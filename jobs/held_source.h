// A picture whose reader gives its rows top row first, once through, held whole so that the walk can
// take them the other way round: what --rows bottom-up asks of a PNG, a JPEG, a GIF's frames or the
// transform chain. The picture's rows are read as the reader gives them and kept as they came, so the
// walk's output is the same as the reader's but for the order of its rows.
#pragma once

#include <memory>

#include "jobs/pack_sources.h"

std::unique_ptr<PackSource> hold_whole(std::unique_ptr<PackSource> picture);
