#include "dialog/tool_dialog.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dialog/dialog_template.h"
#include "testing/project_version.h"
#include "testing/scripted_front_end.h"

namespace {

std::vector<std::string> jobs_run;

Outcome record_paths(const JobPaths& paths, JobProgress&) {
  jobs_run.push_back(paths.first + "|" + paths.second);
  return {};
}
constexpr DialogJob recording_job{&record_paths, EmptyField::ends_job};

const ProgramRow& kestrin() { return *find_program("kestrin"); }

void command(ToolDialog& dialog, int id, unsigned notification = 0) {
  dialog.procedure(dialog_message::command, (std::uintptr_t{notification} << 16) | static_cast<std::uintptr_t>(id));
}

class ToolDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { jobs_run.clear(); }
  ScriptedFrontEnd front_end;
  ToolDialog dialog{kestrin(), recording_job, front_end};
};

TEST_F(ToolDialogTest, DispatchesEachButtonOnItsIdentifierWhateverTheNotification) {
  front_end.choices = {{"in.bmp", 1}, {"out.bin", 1}};
  command(dialog, IDC_BROWSE_FIRST, 0x0300);
  command(dialog, IDC_BROWSE_SECOND);
  ASSERT_EQ(front_end.calls.size(), 2u);
  EXPECT_EQ(front_end.calls[0].kind, FileDialogKind::open);
  EXPECT_EQ(front_end.calls[0].filter, std::string(any_bitmap_filters));
  EXPECT_EQ(front_end.calls[0].max_file, 256u);
  EXPECT_EQ(front_end.calls[1].kind, FileDialogKind::save);
  EXPECT_EQ(front_end.calls[1].filter, std::string(raw_filters));

  command(dialog, IDC_GENERATE);
  EXPECT_EQ(jobs_run, std::vector<std::string>{"in.bmp|out.bin"});

  command(dialog, IDC_ABOUT);
  ASSERT_EQ(front_end.boxes.size(), 1u);
  EXPECT_EQ(front_end.boxes[0].first, "Kestrin");

  for (int unused : {2, 101, 102, 104, 106, 107, 108, 109, 112}) command(dialog, unused);
  EXPECT_EQ(front_end.calls.size(), 2u);
  EXPECT_EQ(jobs_run.size(), 1u);
  EXPECT_EQ(front_end.boxes.size(), 1u);
  EXPECT_FALSE(front_end.ended_with.has_value());

  dialog.procedure(dialog_message::close, 0);
  EXPECT_EQ(front_end.ended_with, 0);
}

TEST_F(ToolDialogTest, BrowseWritesTheFieldOnlyWhenAFileWasChosen) {
  front_end.texts[IDC_FIRST_PATH] = "typed.bmp";
  front_end.choices = {{std::nullopt, 0}, {"chosen.bmp", 0}, {std::nullopt, 0}};
  command(dialog, IDC_BROWSE_FIRST);
  EXPECT_EQ(front_end.texts[IDC_FIRST_PATH], "typed.bmp");
  EXPECT_TRUE(front_end.sets[IDC_FIRST_PATH].empty());

  command(dialog, IDC_BROWSE_FIRST);
  EXPECT_EQ(front_end.texts[IDC_FIRST_PATH], "chosen.bmp");

  // The next browse starts from what the buffer last received, and a cancel keeps the field.
  command(dialog, IDC_BROWSE_FIRST);
  EXPECT_EQ(front_end.calls[2].initial_path, "chosen.bmp");
  EXPECT_EQ(front_end.texts[IDC_FIRST_PATH], "chosen.bmp");
}

TEST_F(ToolDialogTest, BrowseStartsFromThePathThatGenerateLastRead) {
  front_end.texts[IDC_FIRST_PATH] = "typed.bmp";
  front_end.texts[IDC_SECOND_PATH] = "typed.bin";
  front_end.choices = {{std::nullopt, 0}};
  command(dialog, IDC_GENERATE);
  command(dialog, IDC_BROWSE_SECOND);
  EXPECT_EQ(front_end.calls[0].initial_path, "typed.bin");
}

TEST_F(ToolDialogTest, TheFilterPositionCarriesOverToTheOtherButton) {
  front_end.choices = {{"a.bmp", 2}, {std::nullopt, 2}, {"c.bin", 1}, {"d.bmp", 1}};
  command(dialog, IDC_BROWSE_FIRST);
  command(dialog, IDC_BROWSE_SECOND);
  command(dialog, IDC_BROWSE_SECOND);
  command(dialog, IDC_BROWSE_FIRST);
  EXPECT_EQ(front_end.calls[0].filter_index, 0u);
  EXPECT_EQ(front_end.calls[1].filter_index, 2u);
  EXPECT_EQ(front_end.calls[2].filter_index, 2u);  // kept through a cancelled dialog
  EXPECT_EQ(front_end.calls[3].filter_index, 1u);
}

TEST_F(ToolDialogTest, ReadFieldTakesTypedTextUncutAndRefusesMoreThan255Characters) {
  const std::string longest(255, 'x');
  front_end.texts[IDC_FIRST_PATH] = longest;
  front_end.texts[IDC_SECOND_PATH] = std::string(256, 'y');
  EXPECT_EQ(dialog.read_field(Field::first), FieldRead::filled);
  EXPECT_EQ(dialog.path(Field::first), longest);
  EXPECT_EQ(dialog.read_field(Field::second), FieldRead::too_long);
  EXPECT_STREQ(dialog.path(Field::second), "");
}

TEST_F(ToolDialogTest, TheStatusLineNeverReturnsToReady) {
  front_end.texts[IDC_FIRST_PATH] = "in.bmp";
  front_end.texts[IDC_SECOND_PATH] = "out.bin";
  command(dialog, IDC_GENERATE);
  front_end.texts[IDC_FIRST_PATH] = "";
  command(dialog, IDC_GENERATE);
  command(dialog, IDC_ABOUT);
  EXPECT_EQ(front_end.texts[IDC_STATUS], "Done");
}

// A program is found by its key exactly as the build spells it, its file name.
TEST(ProgramTable, FindsAProgramByItsExactKey) {
  const ProgramRow* vaskel = find_program("vaskel");
  ASSERT_NE(vaskel, nullptr);
  EXPECT_STREQ(vaskel->name, "Vaskel");
  EXPECT_EQ(find_program("Vaskel"), nullptr);
  EXPECT_EQ(find_program("vaskel.exe"), nullptr);
  EXPECT_EQ(find_program(""), nullptr);
}

// The About text's first two lines: the program's name, and the major and minor version of
// project() in CMakeLists.txt.
TEST(ProgramTable, AboutTextStartsWithTheNameAndVersion) {
  const std::optional<ProjectVersion> version = project_version();
  ASSERT_TRUE(version) << "not a version: " TOOL_TEST_VERSION;
  for (const ProgramRow& row : all_programs) {
    EXPECT_TRUE(std::string_view(row.about_text)
                    .starts_with(std::string(row.name) + "\r\nVersion " + version->major_minor() + "\r\n"))
        << row.about_text;
  }
}

}  // namespace
