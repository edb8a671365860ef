// The Win32 front end with the real system dialog, file dialogs and message box, under Wine with a
// display of its own. Modal windows are driven from a timer that their own message loop
// dispatches, the way a user's clicks would reach them.
#include "dialog/win32/front_end.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "dialog/dialog_template.h"
#include "programs/programs.h"
#include "testing/test_files.h"

namespace {

// Taken during static initialisation, before any test runs: the record as the program starts.
const OPENFILENAMEA record_at_start = file_dialog_record();

constexpr ProgramRow program = TOOL_PROGRAM_ROW(TOOL_PROGRAM)(TOOL_PROGRAM_ROW_VALUE);

std::vector<std::string> jobs_run;

Outcome record_paths(const JobPaths& paths, JobProgress&) {
  jobs_run.push_back(paths.first + "|" + paths.second);
  return {};
}
constexpr DialogJob recording_job{&record_paths, EmptyField::ends_job};

Win32FrontEnd* current_front_end = nullptr;
ToolDialog* current_dialog = nullptr;
HWND initialised_dialog = nullptr;

INT_PTR CALLBACK test_procedure(HWND window, UINT message, WPARAM wparam, LPARAM) {
  if (message == WM_INITDIALOG) initialised_dialog = window;
  return current_front_end->dispatch(*current_dialog, window, message, wparam);
}

std::string text_of(HWND window) {
  std::string text(static_cast<std::size_t>(GetWindowTextLengthA(window)) + 1, '\0');
  text.resize(static_cast<std::size_t>(GetWindowTextA(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

std::string item_text(HWND dialog, int id) { return text_of(GetDlgItem(dialog, id)); }

// Acts on the next window that `owner` owns, once the modal loop that shows it runs: a timer
// looks for it every 50 ms. A window of the thread that shows up without that owner, or none at
// all within 20 s, fails the test; such a window is cancelled so that the test does not hang.
class PopupDriver {
 public:
  PopupDriver(HWND owner, std::function<void(HWND)> act) {
    owner_ = owner;
    act_ = std::move(act);
    ticks_ = 0;
    seen_ = false;
    timer_ = SetTimer(nullptr, 0, 50, on_tick);
  }
  ~PopupDriver() { KillTimer(nullptr, timer_); }
  PopupDriver(const PopupDriver&) = delete;
  PopupDriver& operator=(const PopupDriver&) = delete;

  bool seen() const { return seen_; }

 private:
  static BOOL CALLBACK find_other(HWND window, LPARAM found) {
    if (window == owner_ || !IsWindowVisible(window)) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  static void CALLBACK on_tick(HWND, UINT, UINT_PTR id, DWORD) {
    HWND popup = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), find_other, reinterpret_cast<LPARAM>(&popup));
    if (popup != nullptr && GetWindow(popup, GW_OWNER) == owner_) {
      seen_ = true;
      KillTimer(nullptr, id);
      act_(popup);
    } else if (++ticks_ > 400) {
      KillTimer(nullptr, id);
      ADD_FAILURE() << (popup != nullptr ? "a window appeared that the dialog does not own" : "no window appeared");
      if (popup != nullptr) PostMessageA(popup, WM_COMMAND, IDCANCEL, 0);
    }
  }

  static inline HWND owner_ = nullptr;
  static inline std::function<void(HWND)> act_;
  static inline int ticks_ = 0;
  static inline bool seen_ = false;
  UINT_PTR timer_ = 0;
};

class Win32FrontEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    jobs_run.clear();
    current_front_end = &front_end;
    current_dialog = &dialog;
    window =
        CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_TOOL_DIALOG), nullptr, test_procedure, 0);
    ASSERT_NE(window, nullptr);
  }
  void TearDown() override {
    if (window != nullptr) DestroyWindow(window);
  }

  void command(int id) { SendMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

  Win32FrontEnd front_end;
  ToolDialog dialog{program, recording_job, front_end};
  HWND window = nullptr;
};

// The size Windows before 2000 knew for each architecture: up to lpTemplateName.
constexpr DWORD pre_2000_size = sizeof(void*) == 4 ? 76 : 136;

TEST(FileDialogRecord, HoldsOnlyItsPre2000SizeAtProgramStart) {
  OPENFILENAMEA expected{};
  expected.lStructSize = pre_2000_size;
  EXPECT_EQ(std::memcmp(&record_at_start, &expected, sizeof expected), 0);
}

TEST_F(Win32FrontEndTest, InitialisationMakesTheDialogTheOwnerAndTheProcedureAlwaysAnswersFalse) {
  EXPECT_EQ(file_dialog_record().hwndOwner, window);
  EXPECT_EQ(file_dialog_record().lStructSize, pre_2000_size);
  // FALSE for WM_INITDIALOG too: the system must not move the keyboard focus itself.
  for (UINT message : {UINT{WM_INITDIALOG}, UINT{WM_COMMAND}, UINT{WM_CLOSE}, UINT{WM_SETFONT}, UINT{WM_NULL}})
    EXPECT_EQ(front_end.dispatch(dialog, window, message, MAKEWPARAM(109, 0)), FALSE) << "message " << message;
}

TEST_F(Win32FrontEndTest, GenerateReadsTheWholeFieldSoOverlongPathsAreRefusedNotCut) {
  const struct {
    std::size_t length;
    const char* status;
    bool job_ran;
  } cases[] = {{0, "Ready", false},
               {1, "Done", true},
               {255, "Done", true},
               {256, "Path too long", false},
               {4000, "Path too long", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.length);
    jobs_run.clear();
    SetDlgItemTextA(window, IDC_STATUS, "Ready");
    const std::string first(c.length, 'p');
    SetDlgItemTextA(window, IDC_FIRST_PATH, first.c_str());
    SetDlgItemTextA(window, IDC_SECOND_PATH, "out.bin");
    command(IDC_GENERATE);
    EXPECT_EQ(item_text(window, IDC_STATUS), c.status);
    if (c.job_ran) {
      EXPECT_EQ(jobs_run, std::vector<std::string>{first + "|out.bin"});
    } else {
      EXPECT_TRUE(jobs_run.empty());
    }
  }
}

TEST_F(Win32FrontEndTest, BrowseUsesTheOpenAndSaveDialogsAndCarriesTheFilterPosition) {
  const TempDir folder;
  const std::string picture = folder.file("picked.bmp");
  const std::string raw = folder.file("picked.bin");
  write_file(picture, Bytes{1});

  struct Seen {
    std::string ok_button;
    std::vector<std::string> filters;
    LRESULT filter_selected = -1;
  };
  const auto look = [](HWND box) {
    Seen seen;
    seen.ok_button = item_text(box, IDOK);
    const HWND types = GetDlgItem(box, 0x470);  // cmb1, the "Files of type" list
    for (LRESULT i = 0; i < SendMessageA(types, CB_GETCOUNT, 0, 0); ++i) {
      std::string item(static_cast<std::size_t>(SendMessageA(types, CB_GETLBTEXTLEN, i, 0)) + 1, '\0');
      item.resize(
          static_cast<std::size_t>(SendMessageA(types, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data()))));
      seen.filters.push_back(item);
    }
    seen.filter_selected = SendMessageA(types, CB_GETCURSEL, 0, 0);
    return seen;
  };
  const auto choose = [](HWND box, const std::string& path, int filter_position) {
    const HWND types = GetDlgItem(box, 0x470);
    // What the list tells its dialog when the user picks an item.
    SendMessageA(types, CB_SETCURSEL, filter_position - 1, 0);
    for (WORD notification : {WORD{CBN_SELENDOK}, WORD{CBN_SELCHANGE}})
      SendMessageA(box, WM_COMMAND, MAKEWPARAM(0x470, notification), reinterpret_cast<LPARAM>(types));
    SetDlgItemTextA(box, 0x47c, path.c_str());  // cmb13, the file name
    PostMessageA(box, WM_COMMAND, IDOK, 0);
  };

  // The open dialog for the first field: Kestrin's image list; the user picks "All Files".
  Seen open_seen;
  {
    PopupDriver driver(window, [&](HWND box) {
      open_seen = look(box);
      choose(box, picture, 2);
    });
    command(IDC_BROWSE_FIRST);
    ASSERT_TRUE(driver.seen());
  }
  EXPECT_EQ(open_seen.ok_button, "&Open");
  EXPECT_EQ(open_seen.filters, (std::vector<std::string>{"Bitmaps, 1 to 32 bits (*.bmp;*.dib)", "All Files (*.*)"}));
  EXPECT_EQ(open_seen.filter_selected, 0);
  EXPECT_EQ(item_text(window, IDC_FIRST_PATH), picture);
  EXPECT_EQ(file_dialog_record().nFilterIndex, 2u);
  EXPECT_EQ(file_dialog_record().Flags, 0u);
  EXPECT_EQ(file_dialog_record().nMaxFile, 256u);

  // The save dialog for the second field starts on the position chosen in the open dialog.
  Seen save_seen;
  {
    PopupDriver driver(window, [&](HWND box) {
      save_seen = look(box);
      choose(box, raw, 2);
    });
    command(IDC_BROWSE_SECOND);
    ASSERT_TRUE(driver.seen());
  }
  EXPECT_EQ(save_seen.ok_button, "&Save");
  EXPECT_EQ(save_seen.filters, (std::vector<std::string>{"Binaries (*.bin)", "All Files (*.*)"}));
  EXPECT_EQ(save_seen.filter_selected, 1);
  EXPECT_EQ(item_text(window, IDC_SECOND_PATH), raw);
  EXPECT_FALSE(file_exists(raw));  // choosing a name creates nothing

  // A cancelled browse leaves the field as it was.
  {
    PopupDriver driver(window, [](HWND box) {
      SetDlgItemTextA(box, 0x47c, "other.bin");
      PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
    });
    command(IDC_BROWSE_SECOND);
    ASSERT_TRUE(driver.seen());
  }
  EXPECT_EQ(item_text(window, IDC_SECOND_PATH), raw);
}

TEST_F(Win32FrontEndTest, AboutIsAnInformationBoxOwnedByTheDialogWithOnlyOk) {
  struct Child {
    std::string window_class;
    int id;
    LONG style;
    std::string text;
    HANDLE icon;
  };
  std::string caption;
  std::vector<Child> children;
  {
    PopupDriver driver(window, [&](HWND box) {
      caption = text_of(box);
      for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsWindowVisible(child)) continue;
        char name[64] = {};
        GetClassNameA(child, name, sizeof name);
        children.push_back({name, GetDlgCtrlID(child), GetWindowLongA(child, GWL_STYLE), text_of(child),
                            reinterpret_cast<HANDLE>(SendMessageA(child, STM_GETICON, 0, 0))});
      }
      PostMessageA(box, WM_COMMAND, IDOK, 0);
    });
    command(IDC_ABOUT);
    ASSERT_TRUE(driver.seen());
  }
  EXPECT_EQ(caption, "Kestrin");

  std::vector<int> buttons;
  bool text_shown = false, information_icon = false;
  const HICON information = LoadIconA(nullptr, MAKEINTRESOURCEA(32516) /* IDI_INFORMATION */);
  for (const Child& child : children) {
    if (child.window_class == "Button") buttons.push_back(child.id);
    if (child.window_class == "Static" && child.text == program.about_text) text_shown = true;
    if (child.window_class == "Static" && (child.style & SS_TYPEMASK) == SS_ICON && child.icon == information)
      information_icon = true;
  }
  EXPECT_EQ(buttons, std::vector<int>{IDOK});
  EXPECT_TRUE(text_shown);
  EXPECT_TRUE(information_icon);
}

// The modal test's user: on each tick of its timer, the next key or message.
struct ModalScript {
  HWND shown = nullptr;
  int step = 0;
  std::string status_after_enter;
  bool open_after_escape = false;
} modal;

void CALLBACK modal_tick(HWND, UINT, UINT_PTR id, DWORD) {
  modal.shown = initialised_dialog;
  if (modal.shown == nullptr) return;
  const HWND first = GetDlgItem(modal.shown, IDC_FIRST_PATH);
  switch (modal.step++) {
    case 0:
      SetDlgItemTextA(modal.shown, IDC_FIRST_PATH, "in.bmp");
      SetDlgItemTextA(modal.shown, IDC_SECOND_PATH, "out.bin");
      SetFocus(first);
      PostMessageA(first, WM_KEYDOWN, VK_RETURN, 0);
      break;
    case 1:
      modal.status_after_enter = item_text(modal.shown, IDC_STATUS);
      PostMessageA(first, WM_KEYDOWN, VK_ESCAPE, 0);
      break;
    case 2:
      modal.open_after_escape = IsWindow(modal.shown) && IsWindowVisible(modal.shown);
      PostMessageA(modal.shown, WM_CLOSE, 0, 0);
      break;
    default:
      // Close did not end the dialog: end it here, with a result the test refuses.
      if (modal.step > 20) EndDialog(modal.shown, -1);
      if (!IsWindow(modal.shown)) KillTimer(nullptr, id);
      break;
  }
}

// The keys reach the dialog through the system's modal loop, as in the programs.
TEST(Win32ModalDialog, EnterRunsGenerateEscapeLeavesItOpenAndCloseEndsItWithZero) {
  jobs_run.clear();
  Win32FrontEnd front_end;
  ToolDialog dialog{program, recording_job, front_end};
  current_front_end = &front_end;
  current_dialog = &dialog;
  modal = ModalScript{};
  initialised_dialog = nullptr;

  const UINT_PTR timer = SetTimer(nullptr, 0, 100, modal_tick);
  const INT_PTR result =
      DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_TOOL_DIALOG), nullptr, test_procedure, 0);
  KillTimer(nullptr, timer);

  EXPECT_EQ(result, 0);
  EXPECT_EQ(file_dialog_record().hwndOwner, modal.shown);
  EXPECT_EQ(jobs_run, std::vector<std::string>{"in.bmp|out.bin"});
  EXPECT_EQ(modal.status_after_enter, "Done");
  EXPECT_TRUE(modal.open_after_escape);
}

}  // namespace
