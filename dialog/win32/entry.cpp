// The program entry of each Win32 program: TOOL_PROGRAM (set by the build) picks the program's
// row of the program table, and with it its name, label, filters and Generate job.
#include <windows.h>

#include "dialog/dialog_template.h"
#include "dialog/win32/front_end.h"
#include "programs/program_jobs.h"
#include "programs/programs.h"

namespace {

Win32FrontEnd front_end;
ToolDialog tool_dialog{TOOL_ENTRY_PROGRAM, TOOL_ENTRY_PROGRAM_JOB, front_end};

INT_PTR CALLBACK tool_dialog_procedure(HWND window, UINT message, WPARAM wparam, LPARAM) {
  return front_end.dispatch(tool_dialog, window, message, wparam);
}

}  // namespace

// The command line is ignored.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const HINSTANCE module = GetModuleHandleA(nullptr);
  set_file_dialog_module(module);
  // The initialisation value is the module handle, as the dialog procedure does not read it; a
  // dialog that cannot be created ends the process with DialogBoxParamA's own result.
  const INT_PTR result = DialogBoxParamA(module, MAKEINTRESOURCEA(IDD_TOOL_DIALOG), nullptr, tool_dialog_procedure,
                                         reinterpret_cast<LPARAM>(module));
  ExitProcess(static_cast<UINT>(result));
}
