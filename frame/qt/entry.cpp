// The entry of one native program: TOOL_PROGRAM names its row of the program table.
#include <QApplication>

#include "frame/programs.h"
#include "frame/qt/qt_front_end.h"

namespace {
constexpr ProgramRow program = TOOL_PROGRAM_ROW(TOOL_PROGRAM)(TOOL_PROGRAM_ROW_VALUE);
}

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  return run_tool_dialog(program, &TOOL_PROGRAM_ROW(TOOL_PROGRAM)(TOOL_ROW_JOB));
}
