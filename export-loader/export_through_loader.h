// Kestrin's Generate job: a BMP, loaded with the image loader, packed into a raw 16-bit image.
#pragma once

#include "frame/job_frame.h"

void export_through_loader(JobFrame& frame);
