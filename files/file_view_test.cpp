#include "files/file_view.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <variant>

#include "testing/open_view.h"
#include "testing/read_only_file.h"
#include "testing/test_files.h"

namespace {

Bytes numbered_bytes(std::size_t count) {
  Bytes bytes(count);
  for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
  return bytes;
}

Bytes view_bytes(const FileView& view) { return Bytes(view.bytes().begin(), view.bytes().end()); }

// Why the view failed; nullopt when it opened.
std::optional<FileFault> fault_of(const std::string& path, ViewKind kind) {
  const std::variant<FileView, SystemError> opened = FileView::open(path.c_str(), kind);
  if (const SystemError* error = std::get_if<SystemError>(&opened)) return error->kind;
  return std::nullopt;
}

class FileViewOfKind : public testing::TestWithParam<ViewKind> {};

TEST_P(FileViewOfKind, ReadsEveryByteOfTheFile) {
  TempDir dir;
  for (std::size_t size : {std::size_t{1}, std::size_t{3}, std::size_t{4096}, std::size_t{70001}}) {
    const std::string path = dir.file("data" + std::to_string(size));
    const Bytes content = numbered_bytes(size);
    write_file(path, content);
    const std::optional<FileView> view = open_view(path, GetParam());
    ASSERT_TRUE(view.has_value()) << size;
    EXPECT_EQ(view_bytes(*view), content) << size;
    EXPECT_EQ(view->file_size(), size);
  }
}

TEST_P(FileViewOfKind, FailsForANameThatIsEmpty) { EXPECT_FALSE(open_view("", GetParam()).has_value()); }

TEST_P(FileViewOfKind, RefusesAFileOf4GiBOrMore) {
  TempDir dir;
  const std::string path = dir.file("huge");
  write_file(path, {1});
  std::filesystem::resize_file(path, std::uintmax_t{1} << 32);
  EXPECT_EQ(fault_of(path, GetParam()), FileFault::too_large);
  // The refused view let go of the file: it can be renamed, cut down and viewed.
  const std::string renamed = dir.file("small");
  std::filesystem::rename(path, renamed);
  std::filesystem::resize_file(renamed, 2);
  const std::optional<FileView> view = open_view(renamed, GetParam());
  ASSERT_TRUE(view.has_value());
  EXPECT_EQ(view_bytes(*view), (Bytes{1, 0}));
}

TEST_P(FileViewOfKind, AFailedOpenOfAnEmptyFileLeavesItFree) {
  TempDir dir;
  const std::string path = dir.file("empty");
  write_file(path, {});
  ASSERT_FALSE(open_view(path, GetParam()).has_value());
  // A handle or lock left behind would keep the file from being written or viewed now.
  write_file(path, {9, 8, 7});
  const std::optional<FileView> view = open_view(path, GetParam());
  ASSERT_TRUE(view.has_value());
  EXPECT_EQ(view_bytes(*view), (Bytes{9, 8, 7}));
}

std::string kind_name(ViewKind kind) { return kind == ViewKind::writable ? "Writable" : "ReadOnly"; }

INSTANTIATE_TEST_SUITE_P(BothKinds, FileViewOfKind, testing::Values(ViewKind::read_only, ViewKind::writable),
                         [](const auto& param_info) { return kind_name(param_info.param); });

struct KindPair {
  ViewKind held;
  ViewKind second;
};

class SecondView : public testing::TestWithParam<KindPair> {};

TEST_P(SecondView, OfAnOpenPathFailsUntilTheFirstCloses) {
  TempDir dir;
  const std::string path = dir.file("held");
  write_file(path, {1, 2, 3, 4});
  {
    const std::optional<FileView> held = open_view(path, GetParam().held);
    ASSERT_TRUE(held.has_value());
    EXPECT_FALSE(open_view(path, GetParam().second).has_value());
    EXPECT_FALSE(open_view(path, GetParam().second).has_value());
  }
  // Neither the closed view nor the refused ones hold anything now.
  EXPECT_TRUE(open_view(path, GetParam().second).has_value());
}

TEST_P(SecondView, UnderAnotherNameOfTheSameFileFails) {
  TempDir dir;
  const std::string path = dir.file("held");
  const std::string link = dir.file("link");
  write_file(path, {1, 2, 3, 4});
  std::filesystem::create_hard_link(path, link);
  const std::optional<FileView> held = open_view(path, GetParam().held);
  ASSERT_TRUE(held.has_value());
  EXPECT_FALSE(open_view(link, GetParam().second).has_value());
}

// A writer excludes every other view; readers exclude only writers.
INSTANTIATE_TEST_SUITE_P(AllKinds, SecondView,
                         testing::Values(KindPair{ViewKind::read_only, ViewKind::writable},
                                         KindPair{ViewKind::writable, ViewKind::read_only},
                                         KindPair{ViewKind::writable, ViewKind::writable}),
                         [](const auto& param_info) {
                           return kind_name(param_info.param.held) + "Then" + kind_name(param_info.param.second);
                         });

// Two conversions of one picture at once (two targets of a build reading it) both read it, under
// either of its names, and a save over it still waits for both to close.
TEST(FileView, ReadOnlyViewsOfOneFileOpenTogether) {
  TempDir dir;
  const std::string path = dir.file("shared");
  const std::string link = dir.file("link");
  write_file(path, {1, 2, 3, 4});
  std::filesystem::create_hard_link(path, link);
  const std::optional<FileView> first = open_view(path, ViewKind::read_only);
  const std::optional<FileView> second = open_view(link, ViewKind::read_only);
  ASSERT_TRUE(first.has_value());
  ASSERT_TRUE(second.has_value());
  EXPECT_EQ(Bytes(second->bytes().begin(), second->bytes().end()), (Bytes{1, 2, 3, 4}));
  EXPECT_FALSE(open_view(path, ViewKind::writable).has_value());
}

TEST(FileView, AByteChangedThroughAWritableViewIsInTheFileAfterClose) {
  TempDir dir;
  const std::string path = dir.file("changed");
  Bytes content = numbered_bytes(10000);
  write_file(path, content);
  {
    const std::optional<FileView> view = open_view(path, ViewKind::writable);
    ASSERT_TRUE(view.has_value());
    view->writable_bytes()[0] = 0xA5;
    view->writable_bytes()[9999] = 0x5A;
  }
  content[0] = 0xA5;
  content[9999] = 0x5A;
  EXPECT_EQ(read_file(path), content);
}

TEST(FileView, AMovedViewKeepsTheFileUntilItsNewOwnerCloses) {
  TempDir dir;
  const std::string path = dir.file("moved");
  write_file(path, {5, 6});
  std::optional<FileView> first = open_view(path, ViewKind::read_only);
  ASSERT_TRUE(first.has_value());
  std::optional<FileView> second = std::move(first);
  EXPECT_TRUE(first->bytes().empty());
  EXPECT_EQ(view_bytes(*second), (Bytes{5, 6}));
  first.reset();
  EXPECT_FALSE(open_view(path, ViewKind::writable).has_value());
  second.reset();
  EXPECT_TRUE(open_view(path, ViewKind::writable).has_value());
}

TEST(FileView, SameFileTellsFilesApartByIdentityNotContent) {
  TempDir dir;
  write_file(dir.file("a"), {1, 2, 3});
  write_file(dir.file("b"), {1, 2, 3});
  const std::optional<FileView> a = open_view(dir.file("a"), ViewKind::writable);
  const std::optional<FileView> b = open_view(dir.file("b"), ViewKind::read_only);
  ASSERT_TRUE(a.has_value() && b.has_value());
  EXPECT_TRUE(a->same_file(*a));
  EXPECT_FALSE(a->same_file(*b));
  EXPECT_FALSE(b->same_file(*a));
}

// A view of a file's start: the file's first bytes are written, then its length set, so that a long
// file is sparse and costs nothing.
struct LimitedView {
  const char* name;
  std::uint64_t file_size;
  std::uint64_t max_bytes;
  ViewKind kind;
  Bytes mapped;
};

void PrintTo(const LimitedView& view, std::ostream* out) { *out << view.name; }

const LimitedView limited_views[] = {
    {"ShorterThanTheFile", 10, 4, ViewKind::read_only, {10, 20, 30, 40}},
    {"LongerThanTheFile", 3, 100, ViewKind::read_only, {10, 20, 30}},
    {"OfOneByte", 10, 1, ViewKind::writable, {10}},
    {"ZeroTakenAsOneByte", 10, 0, ViewKind::read_only, {10}},
    {"OfAFileOf5GiB", std::uint64_t{5} << 30, 6, ViewKind::read_only, {10, 20, 30, 40, 50, 0}},
    {"WritableOfAFileOf5GiB", std::uint64_t{5} << 30, 5, ViewKind::writable, {10, 20, 30, 40, 50}},
};

class LimitedViewOf : public testing::TestWithParam<LimitedView> {};

TEST_P(LimitedViewOf, MapsTheStartAndKnowsTheWholeLength) {
  TempDir dir;
  const std::string path = dir.file("long");
  write_file(path, {10, 20, 30, 40, 50});
  std::error_code refused;
  std::filesystem::resize_file(path, GetParam().file_size, refused);
  if (refused) GTEST_SKIP() << "this file system takes no file of " << GetParam().file_size << " bytes";
  const std::variant<FileView, SystemError> opened =
      FileView::open(path.c_str(), GetParam().kind, GetParam().max_bytes);
  const FileView* view = std::get_if<FileView>(&opened);
  ASSERT_NE(view, nullptr) << describe(std::get<SystemError>(opened));
  EXPECT_EQ(view_bytes(*view), GetParam().mapped);
  EXPECT_EQ(view->file_size(), GetParam().file_size);
}

INSTANTIATE_TEST_SUITE_P(Limits, LimitedViewOf, testing::ValuesIn(limited_views),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

// A window anywhere in the file, off the system's mapping boundaries, and one at its very end.
TEST(FileView, AWindowMapsThoseBytesOfTheFile) {
  TempDir dir;
  Bytes bytes(200'000);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i % 251);
  write_file(dir.file("file"), bytes);
  for (const ViewKind kind : {ViewKind::read_only, ViewKind::writable}) {
    std::variant<FileView, SystemError> opened = FileView::open(dir.file("file").c_str(), kind, 16);
    ASSERT_TRUE(std::holds_alternative<FileView>(opened));
    FileView& view = std::get<FileView>(opened);
    ASSERT_FALSE(view.map_window(70'001, 3).has_value());
    EXPECT_EQ(view_bytes(view), (Bytes{70'001 % 251, 70'002 % 251, 70'003 % 251}));
    ASSERT_FALSE(view.map_window(199'998, 2).has_value());
    EXPECT_EQ(view_bytes(view), (Bytes{199'998 % 251, 199'999 % 251}));
    EXPECT_TRUE(view.map_window(199'999, 2).has_value()) << "a window past the end";
  }
}

// Windows one after another, each of its own size, a read-only view's read into memory it keeps and
// reuses (a larger one into more), over 16 MiB mapped, and one past the end leaving nothing: each
// gives its own bytes of the file.
TEST(FileView, WindowsInTurnEachGiveTheirBytes) {
  TempDir dir;
  constexpr std::uint64_t size = std::uint64_t{20} << 20;
  Bytes bytes(size);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i % 251);
  write_file(dir.file("file"), bytes);
  const struct {
    std::uint64_t offset, length;
  } windows[] = {{5, 4096},     {100'000, 1 << 20},   {3, 10}, {size - (17 << 20), 17 << 20}, {size - 7, 7},
                 {size - 7, 8}, {9'000'000, 3 << 20}, {1, 1}};
  for (const ViewKind kind : {ViewKind::read_only, ViewKind::writable}) {
    std::variant<FileView, SystemError> opened = FileView::open(dir.file("file").c_str(), kind, 16);
    ASSERT_TRUE(std::holds_alternative<FileView>(opened));
    FileView& view = std::get<FileView>(opened);
    for (const auto& w : windows) {
      const bool inside = w.offset + w.length <= size;
      EXPECT_EQ(view.map_window(w.offset, w.length).has_value(), !inside) << w.offset << " " << w.length;
      const Bytes expected = inside ? Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(w.offset),
                                            bytes.begin() + static_cast<std::ptrdiff_t>(w.offset + w.length))
                                    : Bytes{};
      EXPECT_TRUE(view_bytes(view) == expected) << w.offset << " " << w.length;
    }
  }
}

// Each cause that a view names alike on both builds, made real in the test's folder, and the view
// that meets it.
struct ViewFailure {
  const char* name;
  const char* path;  // inside the test's folder
  ViewKind kind;
  FileFault fault;
};

void PrintTo(const ViewFailure& failure, std::ostream* out) { *out << failure.name; }

const ViewFailure view_failures[] = {
    {"Missing", "missing", ViewKind::read_only, FileFault::no_such_file},
    {"InAMissingFolder", "missing-folder/file", ViewKind::writable, FileFault::folder_missing},
    {"FolderReadOnly", "folder", ViewKind::read_only, FileFault::is_a_folder},
    {"FolderWritable", "folder", ViewKind::writable, FileFault::is_a_folder},
    {"Empty", "empty", ViewKind::read_only, FileFault::empty_file},
    {"HeldByAView", "held", ViewKind::read_only, FileFault::held_by_another_program},
    {"ReadOnlyFileWritable", "read-only", ViewKind::writable, FileFault::permission_denied},
};

class ViewFailureCause : public testing::TestWithParam<ViewFailure> {};

TEST_P(ViewFailureCause, IsNamedByItsKind) {
  TempDir dir;
  write_file(dir.file("empty"), {});
  std::filesystem::create_directory(dir.file("folder"));
  write_file(dir.file("held"), {1, 2});
  const std::optional<FileView> held = open_view(dir.file("held"), ViewKind::writable);
  ASSERT_TRUE(held.has_value());
  const std::string read_only = dir.file("read-only");
  write_file(read_only, {3});
  const ReadOnlyFile kept(read_only);
  if (GetParam().fault == FileFault::permission_denied && kept.writable_anyway())
    GTEST_SKIP() << "this process may write any file";

  const std::variant<FileView, SystemError> opened = FileView::open(dir.file(GetParam().path).c_str(), GetParam().kind);
  const SystemError* error = std::get_if<SystemError>(&opened);
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->kind, GetParam().fault) << describe(*error);
  EXPECT_FALSE(describe(*error).empty());
}

INSTANTIATE_TEST_SUITE_P(Causes, ViewFailureCause, testing::ValuesIn(view_failures),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

}  // namespace
