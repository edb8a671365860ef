// A full disk for the Win32 build, which cannot limit its own writes: CTest runs this program under
// cmake/with-file-size-limit.sh, so that every output over the limit fails midway. The inputs
// are read from the source tree, since this program could not write them either.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <tuple>

#include "jobs/pack.h"
#include "jobs/pack_fixed_stride.h"
#include "jobs/unpack.h"
#include "testing/output_faults.h"

namespace {

// Read, never written: the 24,630 bytes of BMP Suite's 127 x 64 picture, whose raw image of 16,256
// bytes and Talvose's BMP of 221,578 bytes made from them both pass the 8 KiB limit CTest sets.
const std::string input = (std::filesystem::path(BMP_SUITE) / "g" / "rgb24.bmp").string();

class OutputFaultsFullDisk : public testing::TestWithParam<std::tuple<OutputJob, bool>> {};

TEST_P(OutputFaultsFullDisk, LeaveSavingAndWhatWasThere) {
  const auto& [job, old_output] = GetParam();
  TempDir dir;
  // An old output small enough to be written under the limit.
  if (old_output) write_file(dir.file("out"), Bytes(100, 0x11));
  expect_save_fails(job, input, dir.file("out"));
}

std::vector<OutputJob> jobs() {
  const Bytes bytes = read_file(input).value_or(Bytes{});
  return {{"Kestrin", dialog_job<pack>, bytes},
          {"Vaskel", dialog_job<pack_fixed_stride>, bytes},
          {"Talvose", dialog_job<unpack>, bytes}};
}

INSTANTIATE_TEST_SUITE_P(Jobs, OutputFaultsFullDisk, testing::Combine(testing::ValuesIn(jobs()), testing::Bool()),
                         [](const auto& param_info) {
                           return std::string(std::get<OutputJob>(param_info.param).name) +
                                  (std::get<bool>(param_info.param) ? "OverAnOldOutput" : "NoOldOutput");
                         });

}  // namespace
