// Failed writes, made real with a file size limit: writes past it fail with EFBIG, as they would on
// a full disk, after a partial write that the output file must carry on from.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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
#include "testing/immutable.h"
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

namespace {

// A target refused for being a symbolic link, whatever it names; nothing at either end changes.
struct RefusedLink {
  const char* name;
  const char* names;  // the link's content, in the test's folder
};

void PrintTo(const RefusedLink& link, std::ostream* out) { *out << link.name; }

const RefusedLink refused_links[] = {
    {"ToAFile", "target.bin"},
    {"ToNothingYet", "missing.bin"},
    {"ToAFolder", "folder"},
};

class RefusedLinkOutput : public testing::TestWithParam<RefusedLink> {};

TEST_P(RefusedLinkOutput, IsRefusedAsALinkAndLeavesBothEnds) {
  TempDir dir;
  write_file(dir.file("target.bin"), {5, 5});
  std::filesystem::create_directory(dir.file("folder"));
  std::filesystem::create_symlink(GetParam().names, dir.file("link.bin"));

  std::variant<OutputFile, SystemError> created = OutputFile::create(dir.file("link.bin").c_str(), Links::refuse);
  const SystemError* error = std::get_if<SystemError>(&created);
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->kind, FileFault::symbolic_link);
  EXPECT_EQ(describe(*error), "Is a symbolic link, which is not written through");
  EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.bin")));
  EXPECT_EQ(read_file(dir.file("target.bin")), (Bytes{5, 5}));
  EXPECT_EQ(names_in(dir.path().string()), (std::vector<std::string>{"folder", "link.bin", "target.bin"}));
}

INSTANTIATE_TEST_SUITE_P(Links, RefusedLinkOutput, testing::ValuesIn(refused_links),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(OutputFilePosix, RefusingLinksStillReplacesAPlainFile) {
  TempDir dir;
  const std::string path = dir.file("plain.bin");
  write_file(path, {1});
  std::variant<OutputFile, SystemError> created = OutputFile::create(path.c_str(), Links::refuse);
  OutputFile* file = std::get_if<OutputFile>(&created);
  ASSERT_NE(file, nullptr);
  const std::array<std::uint8_t, 2> bytes{8, 9};
  ASSERT_EQ(file->write(bytes), std::nullopt);
  ASSERT_EQ(file->commit(), std::nullopt);
  EXPECT_EQ(read_file(path), (Bytes{8, 9}));
}

// The umask of the process for as long as one lives.
class Umask {
 public:
  explicit Umask(mode_t mask) : previous_(::umask(mask)) {}
  ~Umask() { ::umask(previous_); }
  Umask(const Umask&) = delete;
  Umask& operator=(const Umask&) = delete;

 private:
  mode_t previous_;
};

// The new file's permission bits as soon as it exists, before a byte is written, and the output's
// once it is in place: never more open than the target's, and then exactly the target's.
struct NewFileMode {
  const char* name;
  std::optional<mode_t> target;  // nullopt: no file there
  mode_t umask;
  mode_t made;
  mode_t saved;
};

void PrintTo(const NewFileMode& mode, std::ostream* out) { *out << mode.name; }

const NewFileMode new_file_modes[] = {
    {"PrivateTarget", 0600, 022, 0600, 0600},
    {"GroupReadableTarget", 0640, 022, 0640, 0640},
    {"TargetWiderThanTheUmask", 0644, 077, 0644, 0644},
    {"NewFileTakesTheUmask", std::nullopt, 027, 0640, 0640},
};

class NewFilePermissions : public testing::TestWithParam<NewFileMode> {};

TEST_P(NewFilePermissions, AreTheTargetsFromTheStart) {
  TempDir dir;
  const std::string path = dir.file("out.bin");
  if (GetParam().target) {
    write_file(path, {1});
    ASSERT_EQ(::chmod(path.c_str(), *GetParam().target), 0);
  }
  const Umask mask(GetParam().umask);
  std::variant<OutputFile, SystemError> created = OutputFile::create(path.c_str());
  OutputFile* file = std::get_if<OutputFile>(&created);
  ASSERT_NE(file, nullptr);
  std::vector<std::string> names = names_in(dir.path().string());
  names.erase(std::remove(names.begin(), names.end(), "out.bin"), names.end());
  ASSERT_EQ(names.size(), 1u);
  struct stat made {};
  ASSERT_EQ(::stat(dir.file(names[0]).c_str(), &made), 0);
  EXPECT_EQ(made.st_mode & 07777, GetParam().made) << std::oct << (made.st_mode & 07777);
  ASSERT_EQ(file->commit(), std::nullopt);
  struct stat saved {};
  ASSERT_EQ(::stat(path.c_str(), &saved), 0);
  EXPECT_EQ(saved.st_mode & 07777, GetParam().saved) << std::oct << (saved.st_mode & 07777);
}

INSTANTIATE_TEST_SUITE_P(Modes, NewFilePermissions, testing::ValuesIn(new_file_modes),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

// Another user's file, replaced by root, stays that user's, with its group and its modes.
TEST(OutputFilePosix, AReplacedFileKeepsItsOwnerAndGroup) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root may give a file to another user";
  TempDir dir;
  const std::string path = dir.file("owned.bin");
  write_file(path, {1});
  ASSERT_EQ(::chown(path.c_str(), 1234, 5678), 0);
  ASSERT_EQ(::chmod(path.c_str(), 02750), 0);
  const std::array<std::uint8_t, 1> byte{7};
  ASSERT_EQ(save_output_file(path.c_str(), {byte}), std::nullopt);
  struct stat saved {};
  ASSERT_EQ(::stat(path.c_str(), &saved), 0);
  EXPECT_EQ(saved.st_uid, 1234u);
  EXPECT_EQ(saved.st_gid, 5678u);
  EXPECT_EQ(saved.st_mode & 07777, 02750u) << std::oct << (saved.st_mode & 07777);
}

// A folder that takes no new file, though the target in it may be written: the fault is the
// folder's, and its message names it.
TEST(OutputFilePosix, AFolderThatTakesNoNewFileIsNamed) {
  TempDir dir;
  std::filesystem::create_directory(dir.file("locked"));
  const std::string path = dir.file("locked/out.bin");
  write_file(path, {3});
  std::optional<Immutable> immutable;
  if (::geteuid() == 0) {
    immutable.emplace(dir.file("locked"));
    if (!immutable->is_set()) GTEST_SKIP() << "the immutable flag cannot be set here";
  } else {
    std::filesystem::permissions(dir.file("locked"), std::filesystem::perms(0555));
  }
  std::variant<OutputFile, SystemError> created = OutputFile::create(path.c_str());
  const SystemError* error = std::get_if<SystemError>(&created);
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->kind, FileFault::folder_not_writable);
  EXPECT_EQ(describe_output_error(*error, path.c_str()),
            "The folder " + dir.file("locked") + " needs write permission to save a new file in it");
  immutable.reset();
  std::filesystem::permissions(dir.file("locked"), std::filesystem::perms(0755));
  EXPECT_EQ(read_file(path), Bytes{3});
  EXPECT_EQ(names_in(dir.file("locked")), std::vector<std::string>{"out.bin"});
}

// Another process's save holds the lock on its new file while it writes it: a save to the same
// target leaves that file alone, though its name is a leftover's.
TEST(OutputFile, ALockedNewFileOfAnotherSaveStays) {
  TempDir dir;
  const std::string held = dir.file(".out.bin.saving-0000beef");
  write_file(held, {5});
  const int fd = ::open(held.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);
  const std::array<std::uint8_t, 1> byte{7};
  EXPECT_EQ(save_output_file(dir.file("out.bin").c_str(), {byte}), std::nullopt);
  EXPECT_TRUE(std::filesystem::exists(held));
  ::close(fd);
}

}  // namespace
