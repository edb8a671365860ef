#include "testing/output_faults.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "jobs/pack.h"
#include "jobs/pack_fixed_stride.h"
#include "jobs/unpack.h"
#include "testing/scripted_frame.h"

const std::vector<OutputJob>& output_jobs() {
  // Pictures 40 pixels wide, the width both BMP jobs convert exactly, and a raw image shorter than
  // Talvose's frame: every output is larger than the file size limit of the Linux table.
  static const std::vector<OutputJob> jobs = {
      {"Kestrin", dialog_job<pack>, make_bmp({.width = 40, .height = 40}, pattern_pixel)},
      {"Vaskel", dialog_job<pack_fixed_stride>, make_bmp({.width = 40, .height = 40}, pattern_pixel)},
      {"Talvose", dialog_job<unpack>, Bytes(1000, 0x5A)},
  };
  return jobs;
}

void expect_save_fails(const OutputJob& job, const std::string& input, const std::string& output) {
  const bool output_was_a_folder = std::filesystem::is_directory(output);
  const std::optional<Bytes> old_output = output_was_a_folder ? std::nullopt : read_file(output);
  const std::string folder = std::filesystem::path(output).parent_path().string();
  const std::vector<std::string> beside = names_in(folder);
  ScriptedFrame frame(input, output);

  frame.run(job.job);

  EXPECT_EQ(frame.statuses(), std::vector<std::string>{"Saving"});
  EXPECT_EQ(read_file(input), job.input);
  if (output_was_a_folder) {
    EXPECT_TRUE(std::filesystem::is_empty(output));
  } else {
    EXPECT_EQ(read_file(output), old_output);
  }
  EXPECT_EQ(names_in(folder), beside);
}
