#include "frame/tool_dialog.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "frame/dialog_template.h"

namespace {

// A front end that plays the user: control texts live in a map, and each file dialog answers
// with the next scripted choice (a path, or nullopt for cancel) and filter position.
class ScriptedFrontEnd final : public FrontEnd {
 public:
  struct Choice {
    std::optional<std::string> path;
    std::uint32_t filter_index;
  };
  struct Call {
    FileDialogKind kind;
    std::string filter;
    std::string initial_path;
    std::uint32_t max_file;
    std::uint32_t filter_index;
  };

  std::string control_text(int id) override { return texts[id]; }
  void set_control_text(int id, const char* text) override {
    texts[id] = text;
    ++sets[id];
  }
  bool run_file_dialog(FileDialogKind kind, FileDialogRequest& request) override {
    calls.push_back({kind, std::string(request.filter, filter_length(request.filter)), request.file, request.max_file,
                     request.filter_index});
    const Choice choice = choices.at(calls.size() - 1);
    request.filter_index = choice.filter_index;
    if (!choice.path) return false;
    std::strncpy(request.file, choice.path->c_str(), request.max_file);
    return true;
  }
  void show_information(const char* caption, const char* text) override { boxes.push_back({caption, text}); }
  void end_dialog(int result) override { ended_with = result; }

  static std::size_t filter_length(const char* filter) {
    std::size_t n = 0;
    while (filter[n] != '\0' || filter[n + 1] != '\0') ++n;
    return n + 2;
  }

  std::map<int, std::string> texts{{IDC_STATUS, "Ready"}};
  std::map<int, int> sets;
  std::vector<Choice> choices;
  std::vector<Call> calls;
  std::vector<std::pair<std::string, std::string>> boxes;
  std::optional<int> ended_with;
};

std::vector<std::string> jobs_run;

void recording_job(JobFrame& frame) {
  if (read_paths(frame, OnEmptyField::stop)) {
    jobs_run.push_back(std::string(frame.path(Field::first)) + "|" + frame.path(Field::second));
    frame.set_status(status::done);
  }
}

const ProgramRow& kestrin() { return all_programs[1]; }

void command(ToolDialog& dialog, int id, unsigned notification = 0) {
  dialog.procedure(dialog_message::command, (std::uintptr_t{notification} << 16) | static_cast<std::uintptr_t>(id));
}

class ToolDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { jobs_run.clear(); }
  ScriptedFrontEnd front_end;
  ToolDialog dialog{kestrin(), &recording_job, front_end};
};

TEST_F(ToolDialogTest, DispatchesEachButtonOnItsIdentifierWhateverTheNotification) {
  front_end.choices = {{"in.bmp", 1}, {"out.bin", 1}};
  command(dialog, IDC_BROWSE_FIRST, 0x0300);
  command(dialog, IDC_BROWSE_SECOND);
  ASSERT_EQ(front_end.calls.size(), 2u);
  EXPECT_EQ(front_end.calls[0].kind, FileDialogKind::open);
  EXPECT_EQ(front_end.calls[0].filter, std::string(image_filters));
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
  EXPECT_EQ(front_end.sets[IDC_FIRST_PATH], 0);

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

  command(dialog, IDC_GENERATE);
  EXPECT_TRUE(jobs_run.empty());
  EXPECT_EQ(front_end.texts[IDC_STATUS], "Path too long");
}

TEST_F(ToolDialogTest, AnEmptyFirstFieldStopsBeforeTheSecondIsRead) {
  front_end.texts[IDC_SECOND_PATH] = "out.bin";
  command(dialog, IDC_GENERATE);
  EXPECT_STREQ(dialog.path(Field::second), "");
  EXPECT_EQ(front_end.texts[IDC_STATUS], "Ready");
  EXPECT_EQ(front_end.sets[IDC_STATUS], 0);
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

TEST(ProgramTable, GivesEachProgramItsNameLabelFiltersAndAbout) {
  ASSERT_EQ(std::size(all_programs), 4u);
  const struct {
    const char* name;
    const char* label;
    std::string_view open;
    std::string_view save;
  } expected[] = {{"Orvane", "Sub Image:", three_pair_filters, three_pair_filters},
                  {"Kestrin", "Output:", image_filters, raw_filters},
                  {"Talvose", "Output:", three_pair_filters, three_pair_filters},
                  {"Vaskel", "Output:", image_filters, raw_filters}};
  const std::string tail =
      "\r\nVersion 1.0\r\nCoded by The Maintainers <maintainers@example.org>\r\n\r\n"
      "Homepage: https://example.org/rgb565-tools\r\nhttps://example.org/rgb565-tools/releases\r\n"
      "IRC: #rgb565-tools on irc.example.org";
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_STREQ(all_programs[i].name, expected[i].name);
    EXPECT_STREQ(all_programs[i].second_label, expected[i].label);
    EXPECT_EQ(all_programs[i].open_filters, expected[i].open);
    EXPECT_EQ(all_programs[i].save_filters, expected[i].save);
    EXPECT_EQ(all_programs[i].about_text, std::string(expected[i].name) + tail);
  }
  // Each list ends with two NULs, and its strings alternate description and pattern.
  EXPECT_EQ(three_pair_filters.substr(three_pair_filters.size() - 2), std::string_view("\0\0", 2));
  constexpr char written_out[] = "Bitmaps (*.bmp;*.dib)\0*.bmp;*.dib\0Binaries (*.bin)\0*.bin\0All Files (*.*)\0*.*\0";
  EXPECT_EQ(three_pair_filters, std::string_view(written_out, sizeof written_out));
  EXPECT_EQ(ScriptedFrontEnd::filter_length(three_pair_list), sizeof written_out);
}

}  // namespace
