// The end of every job that writes an output file, once its input is released: "Saving", the
// output file written whole at `path` (the second path, for the dialogs), the block freed, "Done". An output that could
// not be created, or was written short and taken back, leaves "Saving" standing: the output was not saved.
#pragma once

#include <cstdint>
#include <span>

#include "files/output_block.h"
#include "job/job_frame.h"

// Writes `header` (which may be empty), then the block.
void save_output(JobFrame& frame, const char* path, OutputBlock block, std::span<const std::uint8_t> header = {});
