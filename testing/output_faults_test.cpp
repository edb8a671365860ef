// Every job that writes an output file, against every way its output can fail to be written that
// both builds can make: "Saving" stays, no partial file is left, the input is as it was.
#include "testing/output_faults.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "testing/scripted_frame.h"

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
