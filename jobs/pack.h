// Kestrin's Generate job: a BMP, loaded with the image loader, packed into a raw 16-bit image.
#pragma once

#include "job/job_frame.h"

void pack(JobFrame& frame);
