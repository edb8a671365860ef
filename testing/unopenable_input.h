// A converting job whose input cannot be opened (missing, empty, or a folder) says so and touches
// no file, whichever job it is: the check each job's tests share.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "job/job.h"
#include "testing/scripted_frame.h"
#include "testing/test_files.h"

// Runs `job` as the dialog runs it from each input it cannot open into an earlier output, beside a
// file `input` that it converts, and checks that only "Cannot open input" shows and every file keeps
// its bytes.
inline void expect_unopenable_inputs_touch_no_file(DialogJob job, const Bytes& input) {
  TempDir dir;
  const Bytes earlier_output{1, 2, 3};
  write_file(dir.file("in"), input);
  write_file(dir.file("out"), earlier_output);
  write_file(dir.file("empty"), {});
  std::filesystem::create_directory(dir.file("folder"));
  for (const char* unopenable : {"missing", "empty", "folder"}) {
    SCOPED_TRACE(unopenable);
    ScriptedFrame frame(dir.file(unopenable), dir.file("out"));
    frame.run(job);
    EXPECT_EQ(frame.statuses(), std::vector<std::string>{"Cannot open input"});
    EXPECT_EQ(read_file(dir.file("in")), input);
    EXPECT_EQ(read_file(dir.file("out")), earlier_output);
    EXPECT_EQ(read_file(dir.file("empty")), Bytes{});
  }
}
