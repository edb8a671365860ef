// Output faults shared by the portable and the Linux-only tables: the three jobs that write an
// output file, each with an input it converts, and the check every fault must pass.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "job/job.h"
#include "testing/test_files.h"

struct OutputJob {
  const char* name;
  DialogJob job;
  Bytes input;
};

inline void PrintTo(const OutputJob& job, std::ostream* out) { *out << job.name; }

const std::vector<OutputJob>& output_jobs();

// Runs the job from `input`, which holds the job's input, to `output`, and checks that it stopped at
// "Saving" with the input as it was, whatever was at `output` as it was (an old file with its
// bytes, or nothing), and no other file left beside it. `input` and `output` may be one file.
void expect_save_fails(const OutputJob& job, const std::string& input, const std::string& output);
