// The entry of one native program: TOOL_PROGRAM names its row of the program table.
#include <QApplication>

#include "job/job_frame.h"
#include "programs/programs.h"
#include "dialog/qt/qt_front_end.h"

void TOOL_ENTRY_JOB(JobFrame& frame);

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  return run_tool_dialog(TOOL_ENTRY_PROGRAM, &TOOL_ENTRY_JOB);
}
