// Vaskel's Generate job: a 24-bit BMP read through a view by its header fields, rows 120 bytes apart.
#pragma once

#include "job/job_frame.h"

void pack_fixed_stride(JobFrame& frame);
