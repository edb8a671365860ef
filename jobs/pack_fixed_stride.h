// Vaskel's Generate job: a 24-bit BMP read through a view by its header fields, rows 120 bytes apart.
#pragma once

#include "job/job.h"

// Vaskel takes no options.
struct PackFixedStrideOptions {};

Outcome pack_fixed_stride(const JobPaths& paths, const PackFixedStrideOptions& options, JobProgress& progress);
