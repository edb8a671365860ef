// Failed writes, made real with a file size limit: writes past it fail with EFBIG, as they would on
// a full disk, after a partial write that the output file must carry on from.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "files/file_view.h"
#include "files/output_file.h"
#include "testing/file_size_limit.h"
#include "testing/open_view.h"
#include "testing/test_files.h"

namespace {

// A save that fails midway, over an old file and where there was none.
struct FailedSave {
  const char* name;
  std::optional<Bytes> before;  // at the path; nullopt for no file
  std::vector<std::string> left;
};

void PrintTo(const FailedSave& save, std::ostream* out) { *out << save.name; }

const FailedSave failed_saves[] = {
    {"OverAnOldFile", Bytes(1000, 0x77), {"full.bin"}},
    {"WhereThereWasNone", std::nullopt, {}},
};

class FailedSaveOutput : public testing::TestWithParam<FailedSave> {};

TEST_P(FailedSaveOutput, IsReportedAndLeavesThePathAsItWas) {
  TempDir dir;
  const std::string path = dir.file("full.bin");
  if (GetParam().before) write_file(path, *GetParam().before);
  const Bytes header(100, 0xAA);
  const Bytes pixels(10000, 0xBB);
  std::optional<SystemError> saved;
  {
    FileSizeLimit limit(4096);
    saved = save_output_file(path.c_str(), {header, pixels});
  }
  // The limit stands in for a full disk, but the system names it for what it is.
  EXPECT_EQ(saved, (SystemError{FileFault::too_large, EFBIG}));
  EXPECT_EQ(read_file(path), GetParam().before);
  EXPECT_EQ(names_in(dir.path().string()), GetParam().left);
}

INSTANTIATE_TEST_SUITE_P(Targets, FailedSaveOutput, testing::ValuesIn(failed_saves),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(OutputFilePosix, WritesCarryOnAfterAPartialWriteThatNoCommitThenPublishes) {
  TempDir dir;
  const std::string path = dir.file("partial.bin");
  std::variant<OutputFile, SystemError> created = OutputFile::create(path.c_str());
  OutputFile* file = std::get_if<OutputFile>(&created);
  ASSERT_NE(file, nullptr);
  const Bytes bytes(8192, 0xCC);
  std::optional<SystemError> written;
  {
    FileSizeLimit limit(5000);
    written = file->write(bytes);
  }
  EXPECT_EQ(written, (SystemError{FileFault::too_large, EFBIG}));
  // The limit cut the first write short; the rest was tried and refused, not silently dropped.
  const std::vector<std::string> names = names_in(dir.path().string());
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(read_file(dir.file(names[0]))->size(), 5000u);
  EXPECT_EQ(file->commit(), (SystemError{FileFault::too_large, EFBIG}));
  EXPECT_FALSE(file_exists(path));
}

// A save through a symbolic link replaces the file it finally names, beside that file, and leaves
// the link a link. Each case's files are made in the test's folder: `links` as name and content.
struct LinkedSave {
  const char* name;
  std::vector<std::pair<const char*, const char*>> links;  // made in this order
  const char* saved_through;
  std::optional<Bytes> before;  // at target/out.bin
};

void PrintTo(const LinkedSave& save, std::ostream* out) { *out << save.name; }

const LinkedSave linked_saves[] = {
    {"RelativeLinkIntoAnotherFolder", {{"links/link", "../target/out.bin"}}, "links/link", Bytes{5, 5}},
    {"ChainOfLinks", {{"links/second", "../target/out.bin"}, {"links/link", "second"}}, "links/link", Bytes{5}},
    {"LinkToAFileNotYetThere", {{"links/link", "../target/out.bin"}}, "links/link", std::nullopt},
};

class LinkedSaveOutput : public testing::TestWithParam<LinkedSave> {};

TEST_P(LinkedSaveOutput, ReplacesTheFileTheLinkNamesAndKeepsTheLink) {
  TempDir dir;
  std::filesystem::create_directory(dir.file("links"));
  std::filesystem::create_directory(dir.file("target"));
  if (GetParam().before) write_file(dir.file("target/out.bin"), *GetParam().before);
  for (const auto& [link, content] : GetParam().links) std::filesystem::create_symlink(content, dir.file(link));
  const std::array<std::uint8_t, 3> bytes{1, 2, 3};

  ASSERT_EQ(save_output_file(dir.file(GetParam().saved_through).c_str(), {bytes}), std::nullopt);

  EXPECT_EQ(read_file(dir.file("target/out.bin")), (Bytes{1, 2, 3}));
  for (const auto& [link, content] : GetParam().links) {
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file(link))) << link;
  }
  EXPECT_EQ(names_in(dir.file("target")), std::vector<std::string>{"out.bin"});
  EXPECT_EQ(names_in(dir.file("links")).size(), GetParam().links.size());
}

INSTANTIATE_TEST_SUITE_P(Links, LinkedSaveOutput, testing::ValuesIn(linked_saves),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(OutputFilePosix, AReplacedFileKeepsItsPermissions) {
  TempDir dir;
  const std::string path = dir.file("kept.bin");
  const std::array<std::uint8_t, 1> byte{7};
  for (const std::filesystem::perms mode : {std::filesystem::perms(0640), std::filesystem::perms(0755)}) {
    write_file(path, {1});
    std::filesystem::permissions(path, mode);
    ASSERT_EQ(save_output_file(path.c_str(), {byte}), std::nullopt);
    EXPECT_EQ(std::filesystem::status(path).permissions(), mode);
  }
}

// Emptying a file that a view maps would kill the program holding it on its next touch of a lost
// page: a held file is a creation failure, and stays as it was.
TEST(OutputFilePosix, AFileThatAViewHoldsIsNeitherEmptiedNorReplaced) {
  TempDir dir;
  const std::string path = dir.file("held.bin");
  const Bytes held(100, 0x5A);
  write_file(path, held);
  const std::array<std::uint8_t, 1> byte{7};
  {
    const std::optional<FileView> view = open_view(path, ViewKind::read_only);
    ASSERT_TRUE(view.has_value());
    EXPECT_TRUE(std::holds_alternative<SystemError>(OutputFile::create(path.c_str())));
    EXPECT_NE(save_output_file(path.c_str(), {byte}), std::nullopt);
    EXPECT_EQ(read_file(path), held);
    EXPECT_EQ(names_in(dir.path().string()), std::vector<std::string>{"held.bin"});
  }

  // The same with the view held by another process, which says when it holds it and waits.
  int held_pipe[2], release_pipe[2];
  ASSERT_EQ(pipe(held_pipe), 0);
  ASSERT_EQ(pipe(release_pipe), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const std::optional<FileView> view = open_view(path, ViewKind::writable);
    char answer = view ? 'y' : 'n';
    if (write(held_pipe[1], &answer, 1) != 1 || read(release_pipe[0], &answer, 1) != 1) _exit(1);
    _exit(0);
  }
  char answer = 0;
  ASSERT_EQ(read(held_pipe[0], &answer, 1), 1);
  EXPECT_EQ(answer, 'y');
  const std::optional<SystemError> refused = save_output_file(path.c_str(), {byte});
  ASSERT_NE(refused, std::nullopt);
  EXPECT_EQ(refused->kind, FileFault::held_by_another_program);
  EXPECT_EQ(read_file(path), held);
  EXPECT_EQ(write(release_pipe[1], "x", 1), 1);
  int status = -1;
  waitpid(child, &status, 0);
  EXPECT_EQ(status, 0);
  for (int fd : {held_pipe[0], held_pipe[1], release_pipe[0], release_pipe[1]}) close(fd);

  // Once let go, the file is replaced as usual.
  EXPECT_EQ(save_output_file(path.c_str(), {byte}), std::nullopt);
  EXPECT_EQ(read_file(path), Bytes{7});
}

}  // namespace
