// Talvose's Generate job: a raw 16-bit image of the 568 x 130 frame back into a 24-bit BMP.
#pragma once

#include "job/job_frame.h"

void unpack(JobFrame& frame);
