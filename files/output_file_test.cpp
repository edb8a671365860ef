#include "files/output_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <iterator>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "files/file_view.h"
#include "testing/open_view.h"
#include "testing/read_only_file.h"
#include "testing/test_files.h"

namespace {

TEST(OutputFile, ReplacesALongerFileCompletely) {
  TempDir dir;
  const std::string path = dir.file("out.bin");
  write_file(path, Bytes(1000, 0x55));
  const std::array<std::uint8_t, 3> head{1, 2, 3};
  const std::array<std::uint8_t, 2> tail{4, 5};
  ASSERT_EQ(save_output_file(path.c_str(), {head, tail}), std::nullopt);
  EXPECT_EQ(read_file(path), (Bytes{1, 2, 3, 4, 5}));
}

TEST(OutputFile, AnEmptyOutputIsAnEmptyFile) {
  TempDir dir;
  const std::string path = dir.file("empty.bin");
  write_file(path, Bytes(10, 1));
  ASSERT_EQ(save_output_file(path.c_str(), {}), std::nullopt);
  EXPECT_EQ(read_file(path), Bytes{});
}

TEST(OutputFile, NothingIsWrittenAfterACommit) {
  TempDir dir;
  const std::string path = dir.file("committed.bin");
  std::variant<OutputFile, SystemError> created = OutputFile::create(path.c_str());
  OutputFile* file = std::get_if<OutputFile>(&created);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->commit(), std::nullopt);
  const std::array<std::uint8_t, 1> byte{7};
  EXPECT_NE(file->write(byte), std::nullopt);
  EXPECT_EQ(read_file(path), Bytes{});
}

// An output dropped before its commit, as a job that fails midway drops it.
struct Abandoned {
  const char* name;
  std::optional<Bytes> before;  // at the path; nullopt for no file
  std::vector<std::string> left;
};

void PrintTo(const Abandoned& abandoned, std::ostream* out) { *out << abandoned.name; }

const Abandoned abandoned_outputs[] = {
    {"OverAnOldFile", Bytes{9, 8, 7}, {"out.bin"}},
    {"WhereThereWasNone", std::nullopt, {}},
};

class AbandonedOutput : public testing::TestWithParam<Abandoned> {};

TEST_P(AbandonedOutput, LeavesThePathAsItWasAndNoOtherFile) {
  TempDir dir;
  const std::string path = dir.file("out.bin");
  if (GetParam().before) write_file(path, *GetParam().before);
  {
    std::variant<OutputFile, SystemError> created = OutputFile::create(path.c_str());
    OutputFile* file = std::get_if<OutputFile>(&created);
    ASSERT_NE(file, nullptr);
    const std::array<std::uint8_t, 4> bytes{1, 2, 3, 4};
    // Not read back here: on Windows the output holds its target, and no one may read it.
    ASSERT_EQ(file->write(bytes), std::nullopt);
  }
  EXPECT_EQ(read_file(path), GetParam().before);
  EXPECT_EQ(names_in(dir.path().string()), GetParam().left);
}

INSTANTIATE_TEST_SUITE_P(Targets, AbandonedOutput, testing::ValuesIn(abandoned_outputs),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

// The new file's name beside "out.bin", cut to each system's limit.
struct NameBudget {
  const char* name;
  std::size_t budget;
  const char* start;
  std::size_t length;
};

void PrintTo(const NameBudget& name, std::ostream* out) { *out << name.name; }

const NameBudget temporary_names[] = {
    {"WholeName", 255, ".out.bin.saving-", 24},
    {"NameCutToTheBudget", 19, ".ou.saving-", 19},
    {"JustTheDotsMarkerAndLetters", 17, "..saving-", 17},
    {"LettersAloneBelowThat", 16, "", 8},
    {"LettersCutToATinyBudget", 5, "", 5},
    {"AtLeastOneLetter", 0, "", 1},
};

class TemporaryNameOf : public testing::TestWithParam<NameBudget> {};

TEST_P(TemporaryNameOf, FitsItsBudgetAndDiffersFromSeedToSeed) {
  const std::string first = temporary_name("out.bin", GetParam().budget, 1);
  EXPECT_EQ(first.size(), GetParam().length) << first;
  EXPECT_EQ(first.substr(0, std::string_view(GetParam().start).size()), GetParam().start) << first;
  EXPECT_EQ(first.find_first_not_of(".-0123456789abcdefghijklmnopqrstuvwxyz"), std::string::npos) << first;
  EXPECT_NE(first, temporary_name("out.bin", GetParam().budget, 2));
}

INSTANTIATE_TEST_SUITE_P(Budgets, TemporaryNameOf, testing::ValuesIn(temporary_names),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

// Which names are a save's new files for the target "out.bin": only the full form, which alone
// says whose it is.
struct TemporaryCandidate {
  const char* candidate;
  std::size_t budget;
  bool is_temporary;
};

const TemporaryCandidate temporary_candidates[] = {
    {".out.bin.saving-a1b2c3d4", 255, true},
    {".ou.saving-a1b2c3d4", 19, true},
    {".out.bin.saving-a1b2c3d4", 19, false},
    {".out.bin.saving-a1b2c3d", 255, false},
    {".out.bin.saving-a1b2c3d45", 255, false},
    {".out.bin.saving-A1B2C3D4", 255, false},
    {".out.bin.saving-a1b2c3d.", 255, false},
    {".out.bin.a1b2c3d4", 255, false},
    {".out.bin2.saving-a1b2c3d4", 255, false},
    {".out.bi.saving-a1b2c3d4", 255, false},
    {"out.bin.saving-a1b2c3d4", 255, false},
    {"out.bin", 255, false},
    {"a1b2c3d4", 16, false},
};

TEST(TemporaryNameOf, TellsASavesNewFileFromAnyOther) {
  for (const TemporaryCandidate& c : temporary_candidates) {
    EXPECT_EQ(is_temporary_name_of(c.candidate, "out.bin", c.budget), c.is_temporary)
        << c.candidate << " within " << c.budget;
  }
}

// New files left behind by saves that were killed outright go with the next save to their target;
// every other name stays, and so does the new file of a save that is still being written.
TEST(OutputFile, TheNextSaveRemovesLeftoversOfItsTargetOnly) {
  TempDir dir;
  const std::string path = dir.file("out.bin");
  const std::vector<std::string> kept = {".other.bin.saving-0000abcd", ".out.bin.saving-0000abc",
                                         "out.bin.saving-0000abcd", ".out.bin.0000abcd"};
  for (const std::string& name : kept) write_file(dir.file(name), {1});
  write_file(dir.file(".out.bin.saving-0000abcd"), {2});
  write_file(dir.file(".out.bin.saving-zzzz9999"), {3});

  std::variant<OutputFile, SystemError> created = OutputFile::create(path.c_str());
  OutputFile* live = std::get_if<OutputFile>(&created);
  ASSERT_NE(live, nullptr);
  const std::array<std::uint8_t, 2> live_bytes{4, 4};
  ASSERT_EQ(live->write(live_bytes), std::nullopt);
  std::vector<std::string> before = names_in(dir.path().string());
  std::sort(before.begin(), before.end());
  std::vector<std::string> kept_sorted = kept;
  std::sort(kept_sorted.begin(), kept_sorted.end());
  std::vector<std::string> live_name;
  std::set_difference(before.begin(), before.end(), kept_sorted.begin(), kept_sorted.end(),
                      std::back_inserter(live_name));
  ASSERT_EQ(live_name.size(), 1u) << "the leftovers went when the first save began";

  const std::array<std::uint8_t, 1> byte{7};
  ASSERT_EQ(save_output_file(path.c_str(), {byte}), std::nullopt);

  std::vector<std::string> expected = kept;
  expected.push_back(live_name[0]);
  expected.push_back("out.bin");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(names_in(dir.path().string()), expected);
  // The live output goes on and takes its place in turn.
  EXPECT_EQ(live->commit(), std::nullopt);
  EXPECT_EQ(read_file(path), (Bytes{4, 4}));
}

// Each cause that an output names alike on both builds, made real in the test's folder.
struct CreateFailure {
  const char* name;
  const char* path;  // inside the test's folder
  FileFault fault;
};

void PrintTo(const CreateFailure& failure, std::ostream* out) { *out << failure.name; }

const CreateFailure create_failures[] = {
    {"InAMissingFolder", "missing/out.bin", FileFault::folder_missing},
    {"AFolder", "folder", FileFault::is_a_folder},
    {"HeldByAView", "held", FileFault::held_by_another_program},
    {"ReadOnlyFile", "read-only", FileFault::permission_denied},
    {"NameTooLong", "(300 characters)", FileFault::name_too_long},
};

class CreateFailureCause : public testing::TestWithParam<CreateFailure> {};

TEST_P(CreateFailureCause, IsNamedByItsKindAndTouchesNothing) {
  TempDir dir;
  std::filesystem::create_directory(dir.file("folder"));
  write_file(dir.file("held"), {1, 2});
  write_file(dir.file("read-only"), {3});
  // Longer than any one name may be on either system (255 characters).
  const std::string path =
      GetParam().fault == FileFault::name_too_long ? dir.file(std::string(300, 'n')) : dir.file(GetParam().path);
  std::error_code ignored;
  // Read before the view holds the file: Windows lets no one read it then.
  const std::optional<Bytes> before =
      std::filesystem::is_regular_file(path, ignored) ? read_file(path) : std::optional<Bytes>();
  std::optional<FileView> held = open_view(dir.file("held"), ViewKind::read_only);
  ASSERT_TRUE(held.has_value());
  const ReadOnlyFile kept(dir.file("read-only"));
  if (GetParam().fault == FileFault::permission_denied && kept.writable_anyway())
    GTEST_SKIP() << "this process may write any file";

  std::variant<OutputFile, SystemError> created = OutputFile::create(path.c_str());
  const SystemError* error = std::get_if<SystemError>(&created);
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->kind, GetParam().fault) << describe(*error);
  const std::array<std::uint8_t, 1> byte{7};
  const std::optional<SystemError> saved = save_output_file(path.c_str(), {byte});
  ASSERT_NE(saved, std::nullopt);
  EXPECT_EQ(saved->kind, GetParam().fault) << describe(*saved);
  held.reset();
  EXPECT_EQ(std::filesystem::is_regular_file(path, ignored), before.has_value());
  if (before) {
    EXPECT_EQ(read_file(path), before);
  }
  EXPECT_EQ(names_in(dir.path().string()), (std::vector<std::string>{"folder", "held", "read-only"}));
}

INSTANTIATE_TEST_SUITE_P(Causes, CreateFailureCause, testing::ValuesIn(create_failures),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

}  // namespace
