// Every saved input of a fuzz target runs through the same entry point here, so that a fault it once
// found stays found. Compiled into a job's test program by add_fuzz_target (cmake/fuzzing.cmake),
// with FUZZ_REGRESSIONS naming the target's folder of saved inputs.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>

#include "testing/test_files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

TEST(FuzzRegressions, EverySavedInputPasses) {
  int inputs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(FUZZ_REGRESSIONS)) {
    if (!entry.is_regular_file()) continue;
    SCOPED_TRACE(entry.path().filename().string());
    const std::optional<Bytes> bytes = read_file(entry.path().string());
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(LLVMFuzzerTestOneInput(bytes->data(), bytes->size()), 0);
    ++inputs;
  }
  EXPECT_GT(inputs, 0) << "no inputs in " << FUZZ_REGRESSIONS;
}

}  // namespace
