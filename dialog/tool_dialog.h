// The tool dialog's logic, written once for every program and both front ends. A front end shows
// the dialog from the template and hands its messages to ToolDialog::procedure; ToolDialog asks
// the front end only for the primitives below.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "job/job.h"
#include "programs/programs.h"

enum class Field { first, second };

enum class FieldRead {
  filled,
  empty,
  // More than path_buffer_size - 1 characters: cutting the text would name another file.
  too_long,
};

// Each path buffer holds at most 255 characters and the terminating NUL.
inline constexpr std::size_t path_buffer_size = 256;

// The status line's texts of the dialog's own; a job's ending gives the others (ending_text).
namespace status {
inline constexpr char ready[] = "Ready";
inline constexpr char saving[] = "Saving";
inline constexpr char path_too_long[] = "Path too long";
}  // namespace status

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

class ToolDialog final {
 public:
  ToolDialog(const ProgramRow& program, DialogJob job, FrontEnd& front_end)
      : program_(program), job_(job), front_end_(front_end) {}

  // Handles one dialog message. For a command, the low 16 bits of `wparam` are the control
  // identifier; its notification code in the high 16 bits is ignored.
  void procedure(unsigned message, std::uintptr_t wparam);

  // Reads field 102 (first) or 104 (second) into its path buffer. A text that does not fit is
  // reported and leaves the buffer as it was.
  FieldRead read_field(Field field);
  // The path buffer of a field, as the last read or browse left it.
  const char* path(Field field) const;

 private:
  void browse(Field field);
  // Reads the fields, runs the job and shows how it ended.
  void generate();
  void set_status(const char* text);
  char* buffer(Field field);

  const ProgramRow program_;
  DialogJob job_;
  FrontEnd& front_end_;
  char first_path_[path_buffer_size] = {};
  char second_path_[path_buffer_size] = {};
  // Kept across browses with either button, as the file dialog leaves it.
  std::uint32_t filter_index_ = 0;
};
