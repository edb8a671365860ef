#include "dialog/win32/front_end.h"

#include <cstddef>

#include "dialog/dialog_template.h"

// The template describes its styles with their numeric values so that windres and the Qt front
// end can read it without <windows.h>; here they must agree with the system's.
static_assert(TOOL_WS_CHILD == WS_CHILD && TOOL_WS_VISIBLE == WS_VISIBLE && TOOL_WS_CAPTION == WS_CAPTION);
static_assert(TOOL_WS_BORDER == WS_BORDER && TOOL_WS_SYSMENU == WS_SYSMENU && TOOL_WS_GROUP == WS_GROUP);
static_assert(TOOL_WS_MINIMIZEBOX == WS_MINIMIZEBOX && TOOL_WS_TABSTOP == WS_TABSTOP);
static_assert(TOOL_DS_SETFONT == DS_SETFONT && TOOL_DS_CENTER == DS_CENTER);
static_assert(TOOL_SS_CENTER == SS_CENTER && TOOL_SS_RIGHT == SS_RIGHT && TOOL_SS_NOTIFY == SS_NOTIFY);
static_assert(TOOL_SS_CENTERIMAGE == SS_CENTERIMAGE && TOOL_SS_SUNKEN == SS_SUNKEN);
static_assert(TOOL_ES_LEFT == ES_LEFT && TOOL_ES_AUTOHSCROLL == ES_AUTOHSCROLL);
static_assert(TOOL_BS_PUSHBUTTON == BS_PUSHBUTTON && TOOL_BS_DEFPUSHBUTTON == BS_DEFPUSHBUTTON);
static_assert(dialog_message::close == WM_CLOSE && dialog_message::command == WM_COMMAND);

namespace {

// The record up to lpTemplateName, without pvReserved, dwReserved and FlagsEx: the platform's
// OPENFILENAME_SIZE_VERSION_400A, 76 bytes in the 32-bit build and 136 in the 64-bit one. MinGW's
// macro is no constant expression, so the size is taken as the offset of the first later member.
constexpr DWORD record_size_before_2000 = offsetof(OPENFILENAMEA, pvReserved);
static_assert(record_size_before_2000 == (sizeof(void*) == 4 ? 76 : 136));

constexpr OPENFILENAMEA record_at_start() {
  OPENFILENAMEA initial{};
  initial.lStructSize = record_size_before_2000;
  return initial;
}

// Constant-initialised, so its size is there before any code of the program runs.
constinit OPENFILENAMEA record = record_at_start();

}  // namespace

const OPENFILENAMEA& file_dialog_record() { return record; }

void set_file_dialog_module(HINSTANCE module) { record.hInstance = module; }

INT_PTR Win32FrontEnd::dispatch(ToolDialog& dialog, HWND window, UINT message, WPARAM wparam) {
  switch (message) {
    case WM_INITDIALOG:
      window_ = window;
      record.hwndOwner = window;
      break;
    case WM_COMMAND:
    case WM_CLOSE:
      dialog.procedure(message, wparam);
      break;
    default:
      break;
  }
  return FALSE;
}

std::string Win32FrontEnd::control_text(int id) {
  // The whole text, however long: cutting it to the path buffer would name another file, and
  // ToolDialog refuses a text that does not fit.
  const int length = GetWindowTextLengthA(GetDlgItem(window_, id));
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  const UINT copied = GetDlgItemTextA(window_, id, text.data(), length + 1);
  text.resize(copied);
  return text;
}

void Win32FrontEnd::set_control_text(int id, const char* text) { SetDlgItemTextA(window_, id, text); }

bool Win32FrontEnd::run_file_dialog(FileDialogKind kind, FileDialogRequest& request) {
  record.lpstrFilter = request.filter;
  record.lpstrFile = request.file;
  record.nMaxFile = request.max_file;
  record.nFilterIndex = request.filter_index;
  const BOOL chosen = kind == FileDialogKind::open ? GetOpenFileNameA(&record) : GetSaveFileNameA(&record);
  request.filter_index = record.nFilterIndex;
  return chosen != FALSE;
}

void Win32FrontEnd::show_information(const char* caption, const char* text) {
  MessageBoxA(window_, text, caption, MB_ICONINFORMATION);
}

void Win32FrontEnd::end_dialog(int result) { EndDialog(window_, result); }
