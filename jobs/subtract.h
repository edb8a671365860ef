// Orvane's Generate job: the second file subtracted from the first, word by word, in place.
#pragma once

#include "job/job_frame.h"

void subtract(JobFrame& frame);
