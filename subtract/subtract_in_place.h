// Orvane's Generate job: the second file subtracted from the first, word by word, in place.
#pragma once

#include "frame/job_frame.h"

void subtract_in_place(JobFrame& frame);
