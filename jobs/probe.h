// rgb565 probe, and unpack's guess of a raw dump's layout: the probe of read/raw_probe.h run over the
// parts of a file it asks for, read a window at a time so that a dump of any size costs a few
// megabytes.
#pragma once

#include <optional>
#include <string>
#include <variant>

#include "containers/lvgl_image.h"
#include "job/job.h"
#include "read/raw_probe.h"

// The ranked guesses for the dump at `path`, or the refusal that names why it could not be read.
std::variant<ProbeResult, Outcome> probe_file(const std::string& path, const ProbeLimits& limits = {});

// The options of `rgb565 unpack` that read a dump as `guess` lays it out: "--format xrgb8888 --size
// 800x480 --bytes be", the format left out for rgb565 and the byte order for low byte first.
std::string layout_options(const ProbeGuess& guess);

// The LVGL image at `path`, when the file starts with an LVGL header that fits its length: such a
// file names its own size and format, and needs no guess.
LvglRead lvgl_image_at(const std::string& path);
