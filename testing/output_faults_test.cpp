// Every job that writes an output file, against every way its output can fail to be written that
// both builds can make: "Saving" stays, no partial file is left, the input is as it was.
#include "testing/output_faults.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "frame/programs.h"
#include "testing/scripted_frame.h"

const std::vector<OutputJob>& output_jobs() {
  // Pictures 40 pixels wide, the width both BMP jobs convert exactly, and a raw image shorter than
  // Talvose's frame: every output is larger than the file size limit of the Linux table.
  static const std::vector<OutputJob> jobs = {
      {"Kestrin", export_through_loader, make_bmp({.width = 40, .height = 40}, pattern_pixel)},
      {"Vaskel", export_from_mapped_file, make_bmp({.width = 40, .height = 40}, pattern_pixel)},
      {"Talvose", import_fixed_frame, Bytes(1000, 0x5A)},
  };
  return jobs;
}

void expect_save_fails(const OutputJob& job, const std::string& input, const std::string& output) {
  const bool output_was_a_folder = std::filesystem::is_directory(output);
  ScriptedFrame frame(input, output);

  job.job(frame);

  EXPECT_EQ(frame.statuses(), std::vector<std::string>{"Saving"});
  EXPECT_EQ(read_file(input), job.input);
  if (output_was_a_folder) {
    EXPECT_TRUE(std::filesystem::is_empty(output));
  } else {
    EXPECT_FALSE(file_exists(output));
  }
}

namespace {

enum class Fault { missing_folder, output_is_a_folder };

class OutputFaults : public testing::TestWithParam<std::tuple<OutputJob, Fault>> {};

TEST_P(OutputFaults, LeaveSavingAndNoFile) {
  const auto& [job, fault] = GetParam();
  TempDir dir;
  std::string output = dir.file("missing/out");
  if (fault == Fault::output_is_a_folder) {
    output = dir.file("folder");
    std::filesystem::create_directory(output);
  }
  write_file(dir.file("in"), job.input);
  expect_save_fails(job, dir.file("in"), output);
  EXPECT_FALSE(file_exists(dir.file("missing")));
}

std::string case_name(const testing::TestParamInfo<std::tuple<OutputJob, Fault>>& param_info) {
  const OutputJob& job = std::get<OutputJob>(param_info.param);
  return std::string(job.name) +
         (std::get<Fault>(param_info.param) == Fault::missing_folder ? "OutputInAMissingFolder" : "OutputIsAFolder");
}

INSTANTIATE_TEST_SUITE_P(Jobs, OutputFaults,
                         testing::Combine(testing::ValuesIn(output_jobs()),
                                          testing::Values(Fault::missing_folder, Fault::output_is_a_folder)),
                         case_name);

}  // namespace
