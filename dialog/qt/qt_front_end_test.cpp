#include "dialog/qt/qt_front_end.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "dialog/dialog_template.h"
#include "jobs/pack.h"
#include "testing/project_version.h"
#include "testing/test_files.h"

namespace {

// Hands the next visible modal window of type T to `action`, from inside the exec that shows it.
// A window that never shows fails the test, and the modal window in its place is ended so that the
// test cannot hang.
template <class T>
class WhenModal {
 public:
  explicit WhenModal(std::function<void(T&)> action) : action_(std::move(action)) {
    waited_.start();
    QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
    timer_.start(5);
  }
  bool ran() const { return ran_; }

 private:
  void poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* window = dynamic_cast<T*>(modal); window != nullptr && window->isVisible()) {
      timer_.stop();
      ran_ = true;
      action_(*window);
    } else if (waited_.elapsed() > 10000) {
      timer_.stop();
      ADD_FAILURE() << "the expected modal window did not open";
      if (auto* dialog = dynamic_cast<QDialog*>(modal)) dialog->done(99);
    }
  }

  std::function<void(T&)> action_;
  QTimer timer_;
  QElapsedTimer waited_;
  bool ran_ = false;
};

std::vector<std::string> jobs_run;

// Records the paths it read, as a job sees them, and reports success.
Outcome record_paths(const JobPaths& paths, JobProgress&) {
  jobs_run.push_back(paths.first + "|" + paths.second);
  return {};
}
constexpr DialogJob recording_job{&record_paths, EmptyField::read_on};

const ProgramRow& kestrin() { return *find_program("kestrin"); }

template <class T = QWidget>
T* control(QWidget& dialog, int id) {
  for (QWidget* child : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (child->property(control_id_property).toInt() == id) return dynamic_cast<T*>(child);
  }
  return nullptr;
}

int focused_id() {
  const QWidget* focus = QApplication::focusWidget();
  return focus == nullptr ? 0 : focus->property(control_id_property).toInt();
}

// What a file dialog showed when it opened.
struct FileDialogSeen {
  QWidget* owner = nullptr;
  QFileDialog::AcceptMode accept_mode = QFileDialog::AcceptOpen;
  QFileDialog::FileMode file_mode = QFileDialog::ExistingFile;
  bool confirms_overwrite = true;
  QString default_suffix;
  QStringList shown_filters;  // the descriptions as the user reads them
  int shown_position = -1;    // 0-based
  QStringList patterns;       // the patterns the listing is filtered by
  QStringList selected_files;
  QString directory;
};

QFileSystemModel* listing(QFileDialog& dialog) { return dialog.findChild<QFileSystemModel*>(); }

FileDialogSeen describe(QFileDialog& dialog) {
  FileDialogSeen seen;
  seen.owner = dialog.parentWidget();
  seen.accept_mode = dialog.acceptMode();
  seen.file_mode = dialog.fileMode();
  seen.confirms_overwrite = !dialog.testOption(QFileDialog::DontConfirmOverwrite);
  seen.default_suffix = dialog.defaultSuffix();
  if (const auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))) {
    for (int i = 0; i < types->count(); ++i) seen.shown_filters.append(types->itemText(i));
    seen.shown_position = types->currentIndex();
  }
  if (const QFileSystemModel* model = listing(dialog)) seen.patterns = model->nameFilters();
  seen.selected_files = dialog.selectedFiles();
  seen.directory = dialog.directory().absolutePath();
  return seen;
}

// Picks the filter at `position` (0-based) the way the dialog's filter box does.
void choose_filter(QFileDialog& dialog, int position) { dialog.selectNameFilter(dialog.nameFilters().at(position)); }

// Accepts `path`; a dialog that would ask before replacing a file is cancelled instead, since its
// question would wait for an answer that never comes.
void accept_path(QFileDialog& dialog, const QString& path) {
  if (!dialog.testOption(QFileDialog::DontConfirmOverwrite)) {
    ADD_FAILURE() << "the file dialog would ask before replacing a file";
    dialog.reject();
    return;
  }
  // Typed into the name field as a user would: selectFile() goes through the dialog's folder model,
  // which lists folders on a thread of its own, so what it selects depends on how far that got.
  auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  if (name == nullptr) {
    ADD_FAILURE() << "the file dialog has no name field";
    dialog.reject();
    return;
  }
  name->setText(path);
  // QFileDialog narrows accept() to protected; the OK button reaches it through QDialog.
  static_cast<QDialog&>(dialog).accept();
  if (dialog.isVisible()) {
    ADD_FAILURE() << "the file dialog did not accept " << path.toStdString();
    dialog.reject();
  }
}

// Ends a shown tool dialog with `close`; a dialog that stays open fails the test and is ended with
// 99, so that its exec returns.
void close_or_fail(QtFrontEnd& shown, const std::function<void(QtFrontEnd&)>& close = &QtFrontEnd::close) {
  close(shown);
  if (shown.isVisible()) {
    ADD_FAILURE() << "the dialog is still open";
    shown.done(99);
  }
}

class QtFrontEndTest : public ::testing::Test {
 protected:
  void SetUp() override { jobs_run.clear(); }

  void show_active() {
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  }
  QLineEdit* field(int id) { return control<QLineEdit>(dialog, id); }
  QPushButton* button(int id) { return control<QPushButton>(dialog, id); }
  QString status_text() { return control<QLabel>(dialog, IDC_STATUS)->text(); }

  // Presses a browse button; the file dialog it opens is handed to `user`.
  FileDialogSeen browse(int id, const std::function<void(QFileDialog&)>& user) {
    FileDialogSeen seen;
    WhenModal<QFileDialog> script([&](QFileDialog& file_dialog) {
      seen = describe(file_dialog);
      user(file_dialog);
    });
    QTest::mouseClick(button(id), Qt::LeftButton);
    EXPECT_TRUE(script.ran());
    return seen;
  }

  QtFrontEnd dialog{kestrin(), recording_job};
};

TEST(DialogUnits, ScaleEachValueOnItsOwnAndRoundHalvesUp) {
  const struct {
    DialogBaseUnits base;
    int x, y, width, height;
    QRect expected;
  } cases[] = {
      {{6, 13}, 4, 4, 48, 12, QRect(6, 7, 72, 20)},        // 6.5 and 19.5 round up
      {{7, 16}, 208, 20, 14, 12, QRect(364, 40, 25, 24)},  // 24.5 rounds up
      {{6, 13}, 0, 0, 226, 86, QRect(0, 0, 339, 140)},     // 139.75
      {{5, 11}, 1, 1, 3, 5, QRect(1, 1, 4, 7)},            // 1.25, 1.375, 3.75, 6.875
      {{8, 18}, 56, 68, 42, 14, QRect(112, 153, 84, 32)},  // 31.5 rounds up
  };
  for (const auto& c : cases) {
    EXPECT_EQ(dialog_units_to_pixels(c.base, c.x, c.y, c.width, c.height), c.expected)
        << "base " << c.base.x << "x" << c.base.y << " rectangle " << c.x << "," << c.y;
  }
}

TEST(DialogFont, IsTahomaWhereInstalledElseSansSerifBoldAtEightPoints) {
  const QFont font = dialog_font();
  EXPECT_EQ(font.pointSize(), 8);
  EXPECT_EQ(font.weight(), QFont::Bold);
  EXPECT_FALSE(font.italic());
  if (QFontDatabase::hasFamily(QStringLiteral("Tahoma"))) {
    EXPECT_EQ(font.family(), QStringLiteral("Tahoma"));
  } else {
    EXPECT_EQ(font.styleHint(), QFont::SansSerif);
  }

  // The tests' expected pixels are worked out for the font the test machines have (Debian's
  // fonts-dejavu-core, no Tahoma) on the offscreen platform's 96 dpi: at 8 points DejaVu Sans Bold
  // sets "A".."Z" and "a".."z" in 397 pixels and a line in 13, so a horizontal dialog unit is
  // ((397 / 26 + 1) / 2) / 4 = 8 / 4 pixels and a vertical one 13 / 8.
  ASSERT_EQ(QFontInfo(font).family(), QStringLiteral("DejaVu Sans"));
  const DialogBaseUnits base = dialog_base_units(font);
  EXPECT_EQ(base.x, 8);
  EXPECT_EQ(base.y, 13);
}

TEST_F(QtFrontEndTest, IsAFixedSizeWindowWithoutMaximiseCentredOnTheScreen) {
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Kestrin"));
  EXPECT_EQ(dialog.font(), dialog_font());
  // 226 x 86 units at 8 / 4 and 13 / 8 pixels a unit: 452 x 139.75.
  const QSize size(452, 140);
  EXPECT_EQ(dialog.minimumSize(), size);
  EXPECT_EQ(dialog.maximumSize(), size);
  const Qt::WindowFlags decorations =
      Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint;
  EXPECT_EQ(dialog.windowFlags() & (decorations | Qt::WindowMaximizeButtonHint), decorations);

  show_active();
  EXPECT_EQ(dialog.size(), size);
  const QPoint offset = dialog.frameGeometry().center() - dialog.screen()->availableGeometry().center();
  EXPECT_LE(offset.manhattanLength(), 2) << offset.x() << "," << offset.y();
}

TEST_F(QtFrontEndTest, BuildsEveryControlOfTheTemplateInOrderAtItsConvertedRectangle) {
  struct Row {
    int id;
    const char* window_class;
    const char* text;
    long style;
    int x, y, width, height;
  };
#define TEST_ROW(id, window_class, text, style, x, y, width, height) \
  Row{id, window_class, text, style, x, y, width, height},
  const std::vector<Row> rows = {TOOL_DIALOG_CONTROLS(TEST_ROW, "Output:")};
#undef TEST_ROW
  // Each rectangle of the template at 8 / 4 pixels a unit across and 13 / 8 down, every value
  // rounded on its own, halves up: y 4 -> 6.5 -> 7, 20 -> 32.5 -> 33, 52 -> 84.5 -> 85,
  // 68 -> 110.5 -> 111; heights 12 -> 19.5 -> 20 and 14 -> 22.75 -> 23.
  const QRect rectangles[] = {QRect(8, 7, 96, 20),    QRect(8, 33, 96, 20),    QRect(8, 85, 96, 20),
                              QRect(112, 7, 300, 20), QRect(416, 7, 28, 20),   QRect(112, 33, 300, 20),
                              QRect(416, 33, 28, 20), QRect(112, 85, 300, 20), QRect(112, 111, 84, 23),
                              QRect(360, 111, 84, 23)};
  const QList<QWidget*> children = dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  ASSERT_EQ(children.size(), 10);
  ASSERT_EQ(rows.size(), 10u);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Row& row = rows[i];
    QWidget* widget = children[static_cast<qsizetype>(i)];
    SCOPED_TRACE(testing::Message() << "control " << i << " (" << row.id << ")");
    EXPECT_EQ(widget->property(control_id_property).toInt(), row.id);
    EXPECT_EQ(widget->geometry(), rectangles[i]);
    EXPECT_TRUE(widget->isVisibleTo(&dialog));
    if (std::string_view(row.window_class) == "Static") {
      const auto* label = dynamic_cast<QLabel*>(widget);
      ASSERT_NE(label, nullptr);
      EXPECT_EQ(label->text(), QString::fromLatin1(row.text));
      EXPECT_EQ(label->textFormat(), Qt::PlainText);
    } else if (std::string_view(row.window_class) == "Edit") {
      const auto* edit = dynamic_cast<QLineEdit*>(widget);
      ASSERT_NE(edit, nullptr);
      EXPECT_TRUE(edit->text().isEmpty());
      EXPECT_TRUE(edit->hasFrame());
    } else {
      const auto* push = dynamic_cast<QPushButton*>(widget);
      ASSERT_NE(push, nullptr);
      EXPECT_EQ(push->text(), QString::fromLatin1(row.text));
      EXPECT_EQ(push->isDefault(), row.id == IDC_GENERATE);
    }
  }

  // The labels are right-aligned; the status line is centred and sunken.
  for (int i : {0, 1, 2, 7}) {
    const auto* label = dynamic_cast<QLabel*>(children[i]);
    ASSERT_NE(label, nullptr);
    const bool status_line = i == 7;
    EXPECT_EQ(label->alignment(), (status_line ? Qt::AlignHCenter : Qt::AlignRight) | Qt::AlignVCenter);
    EXPECT_EQ(label->frameShape(), status_line ? QFrame::Panel : QFrame::NoFrame);
    EXPECT_EQ(label->frameShadow(), status_line ? QFrame::Sunken : QFrame::Plain);
  }
  EXPECT_EQ(dynamic_cast<QLabel*>(children[1])->text(), QStringLiteral("Output:"));
  EXPECT_EQ(status_text(), QStringLiteral("Ready"));
}

TEST_F(QtFrontEndTest, TabMovesThroughTheTabStopsInTemplateOrder) {
  show_active();
  field(IDC_FIRST_PATH)->setFocus();
  ASSERT_EQ(focused_id(), IDC_FIRST_PATH);
  std::vector<int> forward;
  for (int i = 0; i < 6; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    forward.push_back(focused_id());
  }
  EXPECT_EQ(forward, (std::vector<int>{103, 104, 105, 110, 111, 102}));
  std::vector<int> backward;
  for (int i = 0; i < 6; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    backward.push_back(focused_id());
  }
  EXPECT_EQ(backward, (std::vector<int>{111, 110, 105, 104, 103, 102}));
}

TEST_F(QtFrontEndTest, EnterInAPathFieldAndTheGenerateMnemonicRunGenerate) {
  show_active();
  QTest::keyClicks(field(IDC_FIRST_PATH), "in.bmp");
  QTest::keyClicks(field(IDC_SECOND_PATH), "out.bin");
  field(IDC_FIRST_PATH)->setFocus();
  QTest::keyClick(field(IDC_FIRST_PATH), Qt::Key_Return);
  EXPECT_EQ(jobs_run, std::vector<std::string>{"in.bmp|out.bin"});
  EXPECT_EQ(status_text(), QStringLiteral("Done"));

  field(IDC_SECOND_PATH)->setFocus();
  QTest::keyClick(field(IDC_SECOND_PATH), Qt::Key_Enter, Qt::KeypadModifier);
  // A mnemonic presses its button as a click does, which lets go of it a moment later.
  QTest::keyClick(&dialog, Qt::Key_G, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([] { return jobs_run.size() == 3; }));
}

TEST_F(QtFrontEndTest, FieldTextsReachTheDialogUncutSoThatLongOnesCanBeRefused) {
  show_active();
  const std::string longest(255, 'a');
  QTest::keyClicks(field(IDC_FIRST_PATH), QString::fromStdString(longest));
  QTest::keyClicks(field(IDC_SECOND_PATH), QString(256, QLatin1Char('b')));
  EXPECT_EQ(dialog.control_text(IDC_FIRST_PATH), longest);
  EXPECT_EQ(dialog.control_text(IDC_SECOND_PATH), std::string(256, 'b'));
}

TEST_F(QtFrontEndTest, EscapeLeavesTheDialogOpenAndChangesNothing) {
  bool open_after_escape = false;
  WhenModal<QtFrontEnd> script([&](QtFrontEnd& shown) {
    QTest::keyClicks(field(IDC_FIRST_PATH), "kept.bmp");
    QTest::keyClick(field(IDC_FIRST_PATH), Qt::Key_Escape);
    QTest::keyClick(&shown, Qt::Key_Escape);
    open_after_escape = shown.isVisible();
    close_or_fail(shown);
  });
  EXPECT_EQ(dialog.exec(), 0);
  EXPECT_TRUE(script.ran());
  EXPECT_TRUE(open_after_escape);
  EXPECT_EQ(field(IDC_FIRST_PATH)->text(), QStringLiteral("kept.bmp"));
  EXPECT_EQ(status_text(), QStringLiteral("Ready"));
}

TEST_F(QtFrontEndTest, EveryWayOfClosingEndsTheDialogWith0) {
  const struct {
    const char* way;
    std::function<void(QtFrontEnd&)> close;
  } ways[] = {
      {"close button", [](QtFrontEnd& shown) { shown.close(); }},
      {"Alt+F4",
       [](QtFrontEnd& shown) {
         control<QLineEdit>(shown, IDC_FIRST_PATH)->setFocus();
         QTest::keyClick(QApplication::focusWidget(), Qt::Key_F4, Qt::AltModifier);
       }},
      {"window manager",
       [](QtFrontEnd& shown) {
         QCloseEvent request;
         QApplication::sendEvent(shown.windowHandle(), &request);
       }},
  };
  for (const auto& way : ways) {
    SCOPED_TRACE(way.way);
    WhenModal<QtFrontEnd> script([&](QtFrontEnd& shown) { close_or_fail(shown, way.close); });
    EXPECT_EQ(dialog.exec(), 0);
    EXPECT_TRUE(script.ran());
    EXPECT_FALSE(dialog.isVisible());
  }
}

TEST(RunToolDialog, ShowsTheProgramModallyAndReturnsTheValueItEndedWith) {
  QString caption;
  WhenModal<QtFrontEnd> ends_with_7([&](QtFrontEnd& shown) {
    caption = shown.windowTitle();
    shown.end_dialog(7);
  });
  EXPECT_EQ(run_tool_dialog(*find_program("orvane"), recording_job), 7);
  EXPECT_EQ(caption, QStringLiteral("Orvane"));

  WhenModal<QtFrontEnd> closes([](QtFrontEnd& shown) { close_or_fail(shown); });
  EXPECT_EQ(run_tool_dialog(*find_program("orvane"), recording_job), 0);
  EXPECT_TRUE(closes.ran());
}

TEST_F(QtFrontEndTest, AboutShowsAnInformationBoxOwnedByTheDialog) {
  const std::optional<ProjectVersion> version = project_version();
  ASSERT_TRUE(version) << "not a version: " TOOL_TEST_VERSION;
  show_active();
  struct Seen {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QWidget* owner = nullptr;
  };
  std::vector<Seen> boxes;
  const auto read_and_close = [&](QMessageBox& box) {
    boxes.push_back({box.windowTitle(), box.text(), box.icon(), box.standardButtons(), box.parentWidget()});
    box.button(QMessageBox::Ok)->click();
  };
  {
    WhenModal<QMessageBox> script(read_and_close);
    QTest::mouseClick(button(IDC_ABOUT), Qt::LeftButton);
  }
  {
    WhenModal<QMessageBox> script(read_and_close);
    // The offscreen platform has no window manager to hand activation back after the box.
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    QTest::keyClick(&dialog, Qt::Key_A, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return script.ran(); }));
  }
  ASSERT_EQ(boxes.size(), 2u);
  for (const Seen& box : boxes) {
    EXPECT_EQ(box.title, QStringLiteral("Kestrin"));
    EXPECT_EQ(box.icon, QMessageBox::Information);
    EXPECT_EQ(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(box.owner, &dialog);
    EXPECT_EQ(box.text.split(QLatin1Char('\n')),
              QStringList({"Kestrin", QString::fromStdString("Version " + version->major_minor()),
                           "Coded by The Maintainers <maintainers@example.org>", "",
                           "Homepage: https://example.org/rgb565-tools", "https://example.org/rgb565-tools/releases",
                           "IRC: #rgb565-tools on irc.example.org"}));
  }
  EXPECT_EQ(status_text(), QStringLiteral("Ready"));
}

TEST_F(QtFrontEndTest, AnAcceptedBrowseWritesThePathAsChosenIntoTheField) {
  show_active();
  TempDir dir;
  write_file(dir.file("in.bmp"), Bytes{1});
  write_file(dir.file("out"), Bytes{2});
  const QString folder = QString::fromStdString(dir.path().string());

  // The open dialog accepts a name that does not exist.
  const FileDialogSeen opened = browse(IDC_BROWSE_FIRST, [&](QFileDialog& chooser) {
    accept_path(chooser, QString::fromStdString(dir.file("missing.bmp")));
  });
  EXPECT_EQ(opened.owner, &dialog);
  EXPECT_EQ(opened.accept_mode, QFileDialog::AcceptOpen);
  EXPECT_EQ(opened.file_mode, QFileDialog::AnyFile);
  EXPECT_EQ(field(IDC_FIRST_PATH)->text().toStdString(), dir.file("missing.bmp"));

  // The save dialog replaces an existing file without asking and adds no extension.
  const FileDialogSeen saved = browse(
      IDC_BROWSE_SECOND, [&](QFileDialog& chooser) { accept_path(chooser, QString::fromStdString(dir.file("out"))); });
  EXPECT_EQ(saved.accept_mode, QFileDialog::AcceptSave);
  EXPECT_FALSE(saved.confirms_overwrite);
  EXPECT_TRUE(saved.default_suffix.isEmpty());
  EXPECT_EQ(field(IDC_SECOND_PATH)->text().toStdString(), dir.file("out"));

  // The next browse starts from the path its buffer received.
  const FileDialogSeen again = browse(IDC_BROWSE_FIRST, [&](QFileDialog& chooser) {
    accept_path(chooser, QString::fromStdString(dir.file("in.bmp")));
  });
  EXPECT_EQ(again.directory, folder);
  EXPECT_EQ(again.selected_files, QStringList{QString::fromStdString(dir.file("missing.bmp"))});
  EXPECT_EQ(field(IDC_FIRST_PATH)->text().toStdString(), dir.file("in.bmp"));

  QTest::keyClick(field(IDC_FIRST_PATH), Qt::Key_Return);
  EXPECT_EQ(jobs_run, std::vector<std::string>{dir.file("in.bmp") + "|" + dir.file("out")});
}

TEST_F(QtFrontEndTest, ACancelledOrFailedBrowseLeavesFieldAndBufferAsTheyWere) {
  show_active();
  TempDir dir;
  const std::string chosen = dir.file("chosen.bmp");
  browse(IDC_BROWSE_FIRST, [&](QFileDialog& chooser) { accept_path(chooser, QString::fromStdString(chosen)); });
  field(IDC_FIRST_PATH)->setText(QStringLiteral("typed.bmp"));

  browse(IDC_BROWSE_FIRST, [](QFileDialog& chooser) { chooser.reject(); });
  EXPECT_EQ(field(IDC_FIRST_PATH)->text(), QStringLiteral("typed.bmp"));

  // A path of more than 255 bytes does not fit the buffer: the browse counts as failed.
  const std::string too_long = dir.file(std::string(120, 'd') + "/" + std::string(140, 'f'));
  ASSERT_GT(too_long.size(), 255u);
  browse(IDC_BROWSE_FIRST, [&](QFileDialog& chooser) { accept_path(chooser, QString::fromStdString(too_long)); });
  EXPECT_EQ(field(IDC_FIRST_PATH)->text(), QStringLiteral("typed.bmp"));

  const FileDialogSeen next = browse(IDC_BROWSE_FIRST, [](QFileDialog& chooser) { chooser.reject(); });
  EXPECT_EQ(next.selected_files, QStringList{QString::fromStdString(chosen)});
  EXPECT_TRUE(jobs_run.empty());
}

TEST_F(QtFrontEndTest, TheFilterPositionCarriesOverToTheNextBrowseWithEitherButton) {
  show_active();
  TempDir dir;
  // Starts on the first pair; the user picks the second and cancels.
  const FileDialogSeen first = browse(IDC_BROWSE_FIRST, [](QFileDialog& chooser) {
    choose_filter(chooser, 1);
    chooser.reject();
  });
  EXPECT_EQ(first.shown_position, 0);
  EXPECT_EQ(first.patterns, QStringList({"*.bmp", "*.dib"}));

  // The other button's list starts on the second pair too; the user picks the first and accepts.
  const FileDialogSeen second = browse(IDC_BROWSE_SECOND, [&](QFileDialog& chooser) {
    choose_filter(chooser, 0);
    accept_path(chooser, QString::fromStdString(dir.file("out.bin")));
  });
  EXPECT_EQ(second.shown_position, 1);
  EXPECT_EQ(second.shown_filters.value(1), QStringLiteral("All Files (*.*)"));
  EXPECT_EQ(second.patterns, QStringList{"*"});

  const FileDialogSeen third = browse(IDC_BROWSE_FIRST, [](QFileDialog& chooser) { chooser.reject(); });
  EXPECT_EQ(third.shown_position, 0);
}

TEST(KestrinDialog, TypedPathsAndEnterConvertAPictureAndShowDone) {
  TempDir dir;
  const BmpLayout picture{.width = 3, .height = 2};
  write_file(dir.file("in.bmp"), make_bmp(picture, pattern_pixel));
  QtFrontEnd dialog(kestrin(), dialog_job<pack>);
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  auto* first = control<QLineEdit>(dialog, IDC_FIRST_PATH);
  auto* second = control<QLineEdit>(dialog, IDC_SECOND_PATH);
  first->setFocus();
  QTest::keyClicks(first, QString::fromStdString(dir.file("in.bmp")));
  QTest::keyClick(first, Qt::Key_Tab);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  ASSERT_EQ(QApplication::focusWidget(), second);
  QTest::keyClicks(second, QString::fromStdString(dir.file("out.bin")));
  QTest::keyClick(second, Qt::Key_Return);
  EXPECT_EQ(control<QLabel>(dialog, IDC_STATUS)->text(), QStringLiteral("Done"));
  EXPECT_EQ(read_file(dir.file("out.bin")), expected_raw(picture, pattern_pixel));
}

// Each program as the user must see it, with a job of the test's own.
struct ProgramCase {
  const char* key;
  const char* name;
  const char* second_label;
  QStringList open_filters;
  QStringList save_filters;
};

const QStringList three_pair_shown = {"Bitmaps (*.bmp;*.dib)", "Binaries (*.bin)", "All Files (*.*)"};
const QStringList image_shown = {"Bitmaps (*.bmp;*.dib)", "All Files (*.*)"};
const QStringList any_bitmap_shown = {"Bitmaps, 1 to 32 bits (*.bmp;*.dib)", "All Files (*.*)"};
const QStringList raw_shown = {"Binaries (*.bin)", "All Files (*.*)"};

// The patterns each shown description filters by.
QStringList patterns_of(const QString& shown) {
  if (shown.startsWith(QLatin1String("Bitmaps"))) return {"*.bmp", "*.dib"};
  if (shown.startsWith(QLatin1String("Binaries"))) return {"*.bin"};
  return {"*"};
}

const ProgramCase every_program[] = {{"orvane", "Orvane", "Sub Image:", three_pair_shown, three_pair_shown},
                                     {"kestrin", "Kestrin", "Output:", any_bitmap_shown, raw_shown},
                                     {"talvose", "Talvose", "Output:", three_pair_shown, three_pair_shown},
                                     {"vaskel", "Vaskel", "Output:", image_shown, raw_shown}};

class EveryProgram : public ::testing::TestWithParam<ProgramCase> {};

TEST_P(EveryProgram, ShowsItsCaptionLabelAndFiltersAndRunsItsOwnJob) {
  const ProgramCase& expected = GetParam();
  const ProgramRow* program = find_program(expected.key);
  ASSERT_NE(program, nullptr);
  jobs_run.clear();
  QtFrontEnd dialog(*program, recording_job);
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  EXPECT_EQ(dialog.windowTitle(), QString::fromLatin1(expected.name));
  const QList<QLabel*> labels = dialog.findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
  ASSERT_EQ(labels.size(), 4);
  EXPECT_EQ(labels[1]->text(), QString::fromLatin1(expected.second_label));

  for (const auto& [id, shown, kind] :
       {std::tuple{IDC_BROWSE_FIRST, expected.open_filters, QFileDialog::AcceptOpen},
        std::tuple{IDC_BROWSE_SECOND, expected.save_filters, QFileDialog::AcceptSave}}) {
    SCOPED_TRACE(testing::Message() << "button " << id);
    std::vector<FileDialogSeen> per_filter;
    WhenModal<QFileDialog> script([&](QFileDialog& chooser) {
      for (int i = 0; i < chooser.nameFilters().size(); ++i) {
        choose_filter(chooser, i);
        per_filter.push_back(describe(chooser));
      }
      choose_filter(chooser, 0);
      chooser.reject();
    });
    QTest::mouseClick(control<QPushButton>(dialog, id), Qt::LeftButton);
    ASSERT_TRUE(script.ran());
    ASSERT_EQ(per_filter.size(), static_cast<std::size_t>(shown.size()));
    for (std::size_t i = 0; i < per_filter.size(); ++i) {
      EXPECT_EQ(per_filter[i].accept_mode, kind);
      EXPECT_EQ(per_filter[i].shown_filters, shown);
      EXPECT_EQ(per_filter[i].shown_position, static_cast<int>(i));
      EXPECT_EQ(per_filter[i].patterns, patterns_of(shown[static_cast<qsizetype>(i)]));
    }
  }

  QTest::keyClicks(control<QLineEdit>(dialog, IDC_FIRST_PATH), "a");
  QTest::mouseClick(control<QPushButton>(dialog, IDC_GENERATE), Qt::LeftButton);
  EXPECT_EQ(jobs_run, std::vector<std::string>{"a|"});
  EXPECT_EQ(control<QLabel>(dialog, IDC_STATUS)->text(), QStringLiteral("Done"));
}

// Every program of the table has its case.
static_assert(std::size(every_program) == std::size(all_programs));
INSTANTIATE_TEST_SUITE_P(AllPrograms, EveryProgram, ::testing::ValuesIn(every_program),
                         [](const testing::TestParamInfo<ProgramCase>& program) {
                           return std::string(program.param.name);
                         });

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
