// The tool dialog's logic, written once for every program and both front ends. A front end shows
// the dialog from the template and hands its messages to ToolDialog::procedure; ToolDialog asks
// the front end only for the primitives below.
#pragma once

#include <cstdint>
#include <string>

#include "job/job_frame.h"
#include "programs/programs.h"

namespace dialog_message {
inline constexpr unsigned close = 0x0010;
inline constexpr unsigned command = 0x0111;
}  // namespace dialog_message

enum class FileDialogKind { open, save };

// The members of the file dialog record that the tool dialog sets or keeps, as the system's file
// dialogs take them.
struct FileDialogRequest {
  const char* filter = nullptr;    // a filter list (programs.h)
  char* file = nullptr;            // in: the initial path; out: the chosen path
  std::uint32_t max_file = 0;      // size of `file`, NUL included
  std::uint32_t filter_index = 0;  // 1-based position of the pair last chosen; 0 starts on the first
};

class FrontEnd {
 public:
  virtual ~FrontEnd() = default;

  // The whole text of a control, uncut.
  virtual std::string control_text(int id) = 0;
  virtual void set_control_text(int id, const char* text) = 0;
  // Runs the open or save dialog. True when a file was chosen: its full path is then in
  // request.file. request.filter_index is updated to the pair the user last chose.
  virtual bool run_file_dialog(FileDialogKind kind, FileDialogRequest& request) = 0;
  // An information message box owned by the dialog, with an OK button only.
  virtual void show_information(const char* caption, const char* text) = 0;
  // Ends the modal dialog; the run of it returns `result`.
  virtual void end_dialog(int result) = 0;
};

class ToolDialog final : public JobFrame {
 public:
  ToolDialog(const ProgramRow& program, GenerateJob job, FrontEnd& front_end)
      : program_(program), job_(job), front_end_(front_end) {}

  // Handles one dialog message. For a command, the low 16 bits of `wparam` are the control
  // identifier; its notification code in the high 16 bits is ignored.
  void procedure(unsigned message, std::uintptr_t wparam);

  FieldRead read_field(Field field) override;
  const char* path(Field field) const override;
  void set_status(const char* text) override;

 private:
  void browse(Field field);
  char* buffer(Field field);

  const ProgramRow program_;
  GenerateJob job_;
  FrontEnd& front_end_;
  char first_path_[path_buffer_size] = {};
  char second_path_[path_buffer_size] = {};
  // Kept across browses with either button, as the file dialog leaves it.
  std::uint32_t filter_index_ = 0;
};
