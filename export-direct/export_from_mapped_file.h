// Vaskel's Generate job: a 24-bit BMP read through a view by its header fields, rows 120 bytes apart.
#pragma once

#include "frame/job_frame.h"

void export_from_mapped_file(JobFrame& frame);
