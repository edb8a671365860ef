// The job contract: a stage's refusal as the outcome a front end shows, and the rules of a job's
// output that every job leans on: a save never destroys what was at the target, "Saving" is told
// before any byte goes out, a stream that stops says how much went, and a refused conversion writes
// nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "job/convert.h"
#include "job/job.h"
#include "job/job_output.h"
#include "testing/test_files.h"

namespace {

class CountedProgress : public JobProgress {
 public:
  void saving() override { ++told; }
  int told = 0;
};

const Bytes old_bytes = {'o', 'l', 'd'};
const Bytes new_bytes = {'n', 'e', 'w', '!'};

// A stage's refusal is the job's outcome in one place: its kind becomes the ending the dialogs show,
// its reason stays, and the system's error becomes its cause in plain words.
TEST(Refusal, OfAFailureKeepsItsKindReasonAndCause) {
  const struct {
    const char* name;
    Failure failure;
    Ending ending;
    const char* status;
    const char* cause;
  } cases[] = {
      {"CannotOpen", {Fault::cannot_open, "the PNG is cut short"}, Ending::cannot_open_input, "Cannot open input", ""},
      {"CannotOpenWithCause",
       {Fault::cannot_open, "", SystemError{FileFault::no_such_file, 2}},
       Ending::cannot_open_input,
       "Cannot open input",
       "No such file"},
      {"Unsupported",
       {Fault::unsupported, "a depth of 7 bits"},
       Ending::unsupported_picture,
       "Unsupported picture",
       ""},
      {"OutOfMemory",
       {Fault::out_of_memory, "no memory for the palette", SystemError{FileFault::disk_full, 0}},
       Ending::out_of_memory,
       "Out of memory",
       "No space left on the disk"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome outcome = refusal(c.failure);
    EXPECT_EQ(outcome.ending, c.ending);
    EXPECT_STREQ(ending_text(outcome.ending), c.status);
    EXPECT_EQ(outcome.reason, c.failure.reason);
    EXPECT_EQ(outcome.cause, c.cause);
    EXPECT_TRUE(outcome.warnings.empty());
    EXPECT_FALSE(outcome.done());
  }
}

// What the dialogs' status line shows for each ending; an output that was not saved leaves
// "Saving" standing, the text shown before the write began.
TEST(EndingText, IsTheStatusTheDialogsShow) {
  const std::pair<Ending, const char*> cases[] = {
      {Ending::done, "Done"},
      {Ending::cannot_open_input, "Cannot open input"},
      {Ending::unsupported_picture, "Unsupported picture"},
      {Ending::unsupported_font, "Unsupported font"},
      {Ending::out_of_memory, "Out of memory"},
      {Ending::cannot_open_image, "Cannot open image"},
      {Ending::cannot_open_sub_image, "Cannot open sub image"},
      {Ending::sub_image_too_short, "Sub image too short"},
      {Ending::sub_image_too_long, "Sub image too long"},
      {Ending::not_saved, "Saving"},
  };
  for (const auto& [ending, text] : cases) EXPECT_STREQ(ending_text(ending), text) << text;
}

// Each kind of output, written and finished or dropped unfinished, over a target that holds old
// bytes: finished, the target holds the new bytes and nothing else is left beside it; dropped, the
// target is as it was. "Saving" is told once, before the first byte for a file, at the save for
// memory.
enum class Kind { file, memory_of_known_size, memory_of_unknown_size };

struct Commit {
  const char* name;
  Kind kind;
  bool finished;
  int told_before_writing;
  int told_in_all;
};
void PrintTo(const Commit& c, std::ostream* out) { *out << c.name; }

class JobOutputCommit : public testing::TestWithParam<Commit> {};

TEST_P(JobOutputCommit, ReplacesTheTargetOnlyWhenFinished) {
  const Commit& c = GetParam();
  TempDir dir;
  const std::string target = dir.file("out.bin");
  write_file(target, old_bytes);
  CountedProgress progress;
  {
    std::variant<JobOutput, Outcome> begun = c.kind == Kind::file ? JobOutput::to_file(target, progress)
                                             : c.kind == Kind::memory_of_known_size
                                                 ? JobOutput::to_memory(new_bytes.size())
                                                 : JobOutput::to_memory(std::nullopt);
    ASSERT_TRUE(std::holds_alternative<JobOutput>(begun)) << std::get<Outcome>(begun).cause;
    JobOutput& output = std::get<JobOutput>(begun);
    EXPECT_EQ(progress.told, c.told_before_writing);
    EXPECT_EQ(output.write(std::span<const std::uint8_t>(new_bytes.data(), 1)), std::nullopt);
    EXPECT_EQ(output.write(std::string_view("ew!")), std::nullopt);
    // On Windows the output holds its target with no sharing until it replaces it, so that no one
    // else writes it meanwhile: there it cannot be read until then.
#ifndef _WIN32
    EXPECT_EQ(read_file(target), old_bytes) << "the target changed before the output was finished";
#endif
    if (c.finished) {
      const Outcome outcome = output.finish(target, progress, {"a remark"});
      EXPECT_TRUE(outcome.done()) << outcome.cause;
      EXPECT_EQ(outcome.warnings, std::vector<std::string>{"a remark"});
    }
  }
  EXPECT_EQ(read_file(target), c.finished ? new_bytes : old_bytes);
  EXPECT_EQ(progress.told, c.told_in_all);
  EXPECT_EQ(names_in(dir.path().string()), std::vector<std::string>{"out.bin"});
}

INSTANTIATE_TEST_SUITE_P(Kinds, JobOutputCommit,
                         testing::Values(Commit{"FileFinished", Kind::file, true, 1, 1},
                                         Commit{"FileDropped", Kind::file, false, 1, 1},
                                         Commit{"KnownSizeFinished", Kind::memory_of_known_size, true, 0, 1},
                                         Commit{"KnownSizeDropped", Kind::memory_of_known_size, false, 0, 0},
                                         Commit{"UnknownSizeFinished", Kind::memory_of_unknown_size, true, 0, 1},
                                         Commit{"UnknownSizeDropped", Kind::memory_of_unknown_size, false, 0, 0}),
                         [](const testing::TestParamInfo<Commit>& c) { return std::string(c.param.name); });

// An output that cannot be made is refused with the cause, and nothing is created: a file in a
// folder that does not exist when it is begun, memory when it is saved there; memory of 4 GiB or
// more before anything is allocated.
TEST(JobOutput, RefusesWhatCannotBeMade) {
  TempDir dir;
  const std::string nowhere = dir.file("missing/out.bin");
  CountedProgress progress;
  std::variant<JobOutput, Outcome> file = JobOutput::to_file(nowhere, progress);
  ASSERT_TRUE(std::holds_alternative<Outcome>(file));
  EXPECT_EQ(std::get<Outcome>(file).ending, Ending::not_saved);
  EXPECT_EQ(std::get<Outcome>(file).cause.rfind("The folder does not exist", 0), 0u) << std::get<Outcome>(file).cause;

  std::variant<JobOutput, Outcome> memory = JobOutput::to_memory(new_bytes.size());
  ASSERT_TRUE(std::holds_alternative<JobOutput>(memory));
  JobOutput& output = std::get<JobOutput>(memory);
  EXPECT_EQ(output.write(new_bytes), std::nullopt);
  const Outcome saved = output.finish(nowhere, progress);
  EXPECT_EQ(saved.ending, Ending::not_saved);
  EXPECT_EQ(saved.cause.rfind("The folder does not exist", 0), 0u) << saved.cause;

  std::variant<JobOutput, Outcome> huge = JobOutput::to_memory(std::uint64_t{1} << 32);
  ASSERT_TRUE(std::holds_alternative<Outcome>(huge));
  EXPECT_EQ(std::get<Outcome>(huge).ending, Ending::out_of_memory);
  EXPECT_EQ(std::get<Outcome>(huge).reason, "the output would not fit 4 GiB");
  EXPECT_TRUE(names_in(dir.path().string()).empty());
}

// A stream that takes `room` bytes and then stops with `error`.
class StoppingStream : public OutputStream {
 public:
  StoppingStream(std::size_t room, SystemError error) : room_(room), error_(error) {}
  std::string_view name() const override { return "the pipe"; }
  std::optional<SystemError> write(std::span<const std::uint8_t> bytes, std::size_t& written) override {
    written = std::min(bytes.size(), room_);
    taken.insert(taken.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(written));
    room_ -= written;
    if (written < bytes.size()) return error_;
    return std::nullopt;
  }
  Bytes taken;

 private:
  std::size_t room_;
  SystemError error_;
};

// A stream cannot take back what it was given: what went stays, and the refusal says how many bytes
// went in all, with the system's cause when it gave one.
TEST(JobOutput, AStreamThatStopsSaysHowMuchWent) {
  const struct {
    const char* name;
    std::size_t room;
    SystemError error;
    const char* reason;
    const char* cause;
  } cases[] = {
      {"TakesEverything", 100, {}, nullptr, nullptr},
      {"StopsInTheSecondWrite", 5, SystemError{FileFault::disk_full, 28}, "the pipe failed after 5 bytes",
       "No space left on the disk"},
      {"StopsWithNoCause", 2, SystemError{FileFault::other, 0}, "the pipe failed after 2 bytes", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    StoppingStream stream(c.room, c.error);
    CountedProgress progress;
    JobOutput output = JobOutput::to_stream(stream, progress);
    EXPECT_EQ(progress.told, 1);
    std::optional<Outcome> refused = output.write(std::string_view("abcd"));
    if (!refused) refused = output.write(std::string_view("efgh"));
    if (c.reason == nullptr) {
      EXPECT_EQ(refused, std::nullopt);
      EXPECT_TRUE(output.finish("unused", progress).done());
      EXPECT_EQ(stream.taken, (Bytes{'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'}));
      EXPECT_EQ(progress.told, 1);
      continue;
    }
    ASSERT_TRUE(refused.has_value());
    EXPECT_EQ(refused->ending, Ending::not_saved);
    EXPECT_EQ(refused->reason, c.reason);
    EXPECT_EQ(refused->cause, c.cause);
    EXPECT_EQ(stream.taken.size(), c.room);
  }
}

// A conversion's refusal is the job's outcome as it stands: nothing is saved and "Saving" is never
// told. A conversion that is made is saved with its warnings.
TEST(ConvertAndSave, SavesOnlyWhatWasConverted) {
  TempDir dir;
  const std::string target = dir.file("out.bin");
  write_file(target, old_bytes);
  CountedProgress progress;
  const Outcome refused = convert_and_save(
      target, progress, [] { return Conversion{refusal(Ending::unsupported_picture, "a depth of 7 bits")}; });
  EXPECT_EQ(refused.ending, Ending::unsupported_picture);
  EXPECT_EQ(refused.reason, "a depth of 7 bits");
  EXPECT_EQ(progress.told, 0);
  EXPECT_EQ(read_file(target), old_bytes);

  const Outcome saved = convert_and_save(target, progress, [] {
    std::variant<OutputBlock, Outcome> block = allocate_output(static_cast<std::uint32_t>(new_bytes.size()));
    if (Outcome* failed = std::get_if<Outcome>(&block)) return Conversion{std::move(*failed)};
    OutputBlock made = std::get<OutputBlock>(std::move(block));
    std::copy(new_bytes.begin(), new_bytes.end(), made.bytes().begin());
    return Conversion{Converted{std::move(made), {"a remark"}}};
  });
  EXPECT_TRUE(saved.done()) << saved.cause;
  EXPECT_EQ(saved.warnings, std::vector<std::string>{"a remark"});
  EXPECT_EQ(progress.told, 1);
  EXPECT_EQ(read_file(target), new_bytes);
}

// A job's input that cannot be opened is refused with the ending the job asks for and the system's
// cause.
TEST(OpenInput, RefusesWithTheJobsEndingAndTheCause) {
  TempDir dir;
  const std::pair<Ending, const char*> cases[] = {{Ending::cannot_open_input, "Cannot open input"},
                                                  {Ending::cannot_open_sub_image, "Cannot open sub image"}};
  for (const auto& [ending, status] : cases) {
    std::variant<FileView, Outcome> opened = open_input(dir.file("missing.bmp"), ending);
    ASSERT_TRUE(std::holds_alternative<Outcome>(opened)) << status;
    EXPECT_STREQ(ending_text(std::get<Outcome>(opened).ending), status);
    EXPECT_EQ(std::get<Outcome>(opened).cause, "No such file");
  }
  write_file(dir.file("empty.bmp"), {});
  std::variant<FileView, Outcome> empty = open_input(dir.file("empty.bmp"));
  ASSERT_TRUE(std::holds_alternative<Outcome>(empty));
  EXPECT_EQ(std::get<Outcome>(empty).cause, "The file is empty");
}

}  // namespace
