// The entry of one native program: TOOL_PROGRAM names its row of the program table.
#include <QApplication>

#include "dialog/qt/qt_front_end.h"
#include "files/live_outputs.h"
#include "programs/program_jobs.h"
#include "programs/programs.h"

int main(int argc, char** argv) {
  remove_outputs_on_interruption();
  QApplication application(argc, argv);
  return run_tool_dialog(TOOL_ENTRY_PROGRAM, TOOL_ENTRY_PROGRAM_JOB);
}
