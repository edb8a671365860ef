// The tool dialog with Qt 6 Widgets, for the native Linux programs. The dialog is built from the
// template description that the Win32 resource script reads too, laid out with the dialog font's
// metrics the way the Win32 dialog manager places a dialog, and it hands its events to the portable
// ToolDialog as the three dialog messages.
#pragma once

#include <QDialog>
#include <QFont>
#include <QRect>
#include <string>
#include <vector>

#include "dialog/tool_dialog.h"
#include "programs/programs.h"

class QCloseEvent;
class QKeyEvent;
class QShowEvent;

// The pixels of one dialog unit, scaled: a horizontal unit is x / 4 pixels, a vertical one y / 8.
struct DialogBaseUnits {
  int x = 0;
  int y = 0;
};

// Tahoma 8 bold where it is installed, else the desktop's sans-serif bold at 8 points.
QFont dialog_font();

// As the Win32 dialog manager computes them: x from the average width of "A".."Z" and "a".."z"
// ((width of the 52 letters / 26 + 1) / 2), y the character height.
DialogBaseUnits dialog_base_units(const QFont& font);

// A rectangle in dialog units in pixels. Each of the four values is scaled and rounded on its own,
// as the dialog manager does when it creates the controls.
QRect dialog_units_to_pixels(DialogBaseUnits base, int x, int y, int width, int height);

// The name of the dynamic property that carries a control's identifier (101 to 111); the three
// labels share 101.
inline constexpr char control_id_property[] = "control_id";

class QtFrontEnd final : public QDialog, public FrontEnd {
 public:
  QtFrontEnd(const ProgramRow& program, DialogJob job);

  std::string control_text(int id) override;
  void set_control_text(int id, const char* text) override;
  bool run_file_dialog(FileDialogKind kind, FileDialogRequest& request) override;
  void show_information(const char* caption, const char* text) override;
  void end_dialog(int result) override;

  // The cancel command (Escape) is not handled: the dialog ends only through close.
  void reject() override {}

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  QWidget* control(int id) const;

  ToolDialog tool_;
  // In template order; the first control with an identifier is the one addressed by it.
  std::vector<QWidget*> controls_;
  bool centred_ = false;
};

// Shows a program's dialog modally and returns the value it ended with: 0 after a normal close.
int run_tool_dialog(const ProgramRow& program, DialogJob job);
