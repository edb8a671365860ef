// A stage's allocations that find no memory end as the out-of-memory failure in the stage's own
// words; the work's own failure, and its success, pass through unchanged.
#include "files/failure.h"

#include <gtest/gtest.h>

#include <limits>
#include <new>
#include <optional>
#include <vector>

namespace {

TEST(WithinMemory, SaysWhatDidNotFitWhenMemoryRunsOut) {
  const std::optional<Failure> thrown = within_memory("the rows do not fit in memory", [] { throw std::bad_alloc(); });
  ASSERT_TRUE(thrown.has_value());
  EXPECT_EQ(thrown->fault, Fault::out_of_memory);
  EXPECT_EQ(thrown->reason, "the rows do not fit in memory");

  // A size past what a vector can hold is a length error, not a bad_alloc: still no memory.
  std::vector<std::uint64_t> huge;
  const std::optional<Failure> too_long =
      within_memory("the table does not fit in memory", [&] { huge.resize(std::numeric_limits<std::size_t>::max()); });
  ASSERT_TRUE(too_long.has_value());
  EXPECT_EQ(too_long->fault, Fault::out_of_memory);
  EXPECT_EQ(too_long->reason, "the table does not fit in memory");
}

TEST(WithinMemory, PassesTheWorksOwnAnswerThrough) {
  int runs = 0;
  EXPECT_FALSE(within_memory("unused", [&] { ++runs; }).has_value());
  const std::optional<Failure> own = within_memory("unused", [&]() -> std::optional<Failure> {
    ++runs;
    return Failure{Fault::unsupported, "a depth not taken"};
  });
  ASSERT_TRUE(own.has_value());
  EXPECT_EQ(own->fault, Fault::unsupported);
  EXPECT_EQ(own->reason, "a depth not taken");
  EXPECT_FALSE(within_memory("unused", []() -> std::optional<Failure> { return std::nullopt; }).has_value());
  EXPECT_EQ(runs, 2);
}

}  // namespace
