// The Win32 half of the tool dialog: the system's modal dialog, file dialogs and message box behind
// the primitives that ToolDialog asks for. All calls use the ANSI forms.
#pragma once

#include <windows.h>
// <windows.h> first: <commdlg.h> needs its types.
#include <commdlg.h>

#include <string>

#include "dialog/tool_dialog.h"

// The one file dialog record of the process, reused by both browse buttons and every browse. It
// holds lStructSize = OPENFILENAME_SIZE_VERSION_400A (76 bytes in the 32-bit build, 136 in the
// 64-bit one) from program start: the record as Windows before 2000 knew it, without the members
// appended later. The program sets hInstance at entry, hwndOwner when the dialog is
// initialised, and lpstrFilter, lpstrFile, nMaxFile and nFilterIndex before each browse; every
// other member stays zero (no flags: no overwrite prompt, no must-exist test, nothing appended to
// a typed name; no hook, no template, no title, no initial folder). Read-only outside the front
// end.
const OPENFILENAMEA& file_dialog_record();
// Stores the program's module handle in the record, at entry.
void set_file_dialog_module(HINSTANCE module);

class Win32FrontEnd final : public FrontEnd {
 public:
  // The body of the dialog procedure: initialisation, commands and close go to `dialog`, once the
  // dialog window is known. Returns FALSE for every message, WM_INITDIALOG included, so that the
  // system sets no initial focus and the dialog manager's default handling always applies.
  INT_PTR dispatch(ToolDialog& dialog, HWND window, UINT message, WPARAM wparam);

  std::string control_text(int id) override;
  void set_control_text(int id, const char* text) override;
  bool run_file_dialog(FileDialogKind kind, FileDialogRequest& request) override;
  void show_information(const char* caption, const char* text) override;
  void end_dialog(int result) override;

 private:
  HWND window_ = nullptr;
};
