// Pack's source for a GIF: its frames composed one at a time by the project's reader onto its
// canvas, alike on both builds.
#pragma once

#include <memory>
#include <optional>
#include <variant>

#include "files/file_view.h"
#include "jobs/pack_sources.h"

// The source of the GIF whose file `view` holds, which it then takes; nothing when the file is no
// GIF (the view left to the caller); or the refusal of one that does not read.
std::optional<std::variant<std::unique_ptr<PackSource>, Outcome>> open_gif_source(std::unique_ptr<FileView>& view,
                                                                                  const PackOptions& options);
