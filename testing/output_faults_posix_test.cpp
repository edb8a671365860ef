// The output faults only Linux can make for a test: a folder that takes no new file even from
// root, and a full disk (a file size limit), also over an old output and over the job's own input. Orvane writes in
// place and creates nothing, so a folder that takes no new file does not stop it.
#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "jobs/subtract.h"
#include "testing/file_size_limit.h"
#include "testing/immutable.h"
#include "testing/output_faults.h"
#include "testing/scripted_frame.h"

namespace {

enum class Fault { read_only_folder, full_disk, full_disk_over_an_old_output, full_disk_over_the_input };

class OutputFaultsPosix : public testing::TestWithParam<std::tuple<OutputJob, Fault>> {};

TEST_P(OutputFaultsPosix, LeaveSavingAndWhatWasThere) {
  const auto& [job, fault] = GetParam();
  TempDir dir;
  std::filesystem::create_directory(dir.file("out"));
  std::string output = dir.file("out/out");
  write_file(dir.file("in"), job.input);
  if (fault == Fault::full_disk_over_an_old_output) write_file(output, Bytes(100, 0x11));
  // The dialogs' same-path case: the input is read and let go, then replaced by the output.
  if (fault == Fault::full_disk_over_the_input) output = dir.file("in");
  if (fault == Fault::read_only_folder) {
    const Immutable locked(dir.file("out"));
    if (!locked.is_set()) GTEST_SKIP() << "the immutable flag cannot be set here";
    expect_save_fails(job, dir.file("in"), output);
  } else {
    const FileSizeLimit limit(1000);
    expect_save_fails(job, dir.file("in"), output);
  }
}

std::string case_name(const testing::TestParamInfo<std::tuple<OutputJob, Fault>>& param_info) {
  const OutputJob& job = std::get<OutputJob>(param_info.param);
  switch (std::get<Fault>(param_info.param)) {
    case Fault::read_only_folder:
      return std::string(job.name) + "OutputInAReadOnlyFolder";
    case Fault::full_disk:
      return std::string(job.name) + "DiskFull";
    case Fault::full_disk_over_an_old_output:
      return std::string(job.name) + "DiskFullOverAnOldOutput";
    case Fault::full_disk_over_the_input:
      return std::string(job.name) + "DiskFullOverItsInput";
  }
  return std::string();
}

INSTANTIATE_TEST_SUITE_P(Jobs, OutputFaultsPosix,
                         testing::Combine(testing::ValuesIn(output_jobs()),
                                          testing::Values(Fault::read_only_folder, Fault::full_disk,
                                                          Fault::full_disk_over_an_old_output,
                                                          Fault::full_disk_over_the_input)),
                         case_name);

TEST(OrvanePosix, SubtractsInAReadOnlyFolder) {
  TempDir dir;
  std::filesystem::create_directory(dir.file("folder"));
  write_file(dir.file("folder/image"), {10, 20, 30, 40});
  write_file(dir.file("folder/sub"), {1, 2, 3, 4});
  const Immutable locked(dir.file("folder"));
  if (!locked.is_set()) GTEST_SKIP() << "the immutable flag cannot be set here";
  ScriptedFrame frame(dir.file("folder/image"), dir.file("folder/sub"));
  frame.run(subtract_dialog_job);
  EXPECT_EQ(frame.statuses(), std::vector<std::string>{"Done"});
  EXPECT_EQ(read_file(dir.file("folder/image")), (Bytes{9, 18, 27, 36}));
  EXPECT_EQ(read_file(dir.file("folder/sub")), (Bytes{1, 2, 3, 4}));
}

}  // namespace
