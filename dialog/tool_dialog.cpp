#include "dialog/tool_dialog.h"

#include <cstring>
#include <initializer_list>

#include "dialog/dialog_template.h"

void ToolDialog::procedure(unsigned message, std::uintptr_t wparam) {
  switch (message) {
    case dialog_message::command:
      switch (wparam & 0xFFFF) {
        case IDC_BROWSE_FIRST:
          browse(Field::first);
          break;
        case IDC_BROWSE_SECOND:
          browse(Field::second);
          break;
        case IDC_GENERATE:
          generate();
          break;
        case IDC_ABOUT:
          front_end_.show_information(program_.name, program_.about_text);
          break;
        default:
          break;
      }
      break;
    case dialog_message::close:
      front_end_.end_dialog(0);
      break;
    default:
      break;
  }
}

void ToolDialog::browse(Field field) {
  const bool first = field == Field::first;
  FileDialogRequest request;
  request.filter = (first ? program_.open_filters : program_.save_filters).data();
  request.file = buffer(field);
  request.max_file = path_buffer_size;
  request.filter_index = filter_index_;
  const bool chosen = front_end_.run_file_dialog(first ? FileDialogKind::open : FileDialogKind::save, request);
  filter_index_ = request.filter_index;
  if (chosen) front_end_.set_control_text(first ? IDC_FIRST_PATH : IDC_SECOND_PATH, buffer(field));
}

namespace {

// Shows "Saving" when the job is about to write its output.
class StatusProgress final : public JobProgress {
 public:
  explicit StatusProgress(FrontEnd& front_end) : front_end_(front_end) {}
  void saving() override { front_end_.set_control_text(IDC_STATUS, status::saving); }

 private:
  FrontEnd& front_end_;
};

}  // namespace

void ToolDialog::generate() {
  // The first field, then the second: a job that ends at an empty first field never reads the
  // second. An empty field ends the job silently, a field too long says so.
  for (Field field : {Field::first, Field::second}) {
    switch (read_field(field)) {
      case FieldRead::filled:
        break;
      case FieldRead::empty:
        if (job_.on_empty == EmptyField::ends_job) return;
        break;
      case FieldRead::too_long:
        set_status(status::path_too_long);
        return;
    }
  }
  StatusProgress progress(front_end_);
  const Outcome outcome = job_.run({first_path_, second_path_}, progress);
  // An output that was not saved leaves "Saving" standing, as the user last saw it.
  if (outcome.ending != Ending::not_saved) set_status(ending_text(outcome.ending));
}

FieldRead ToolDialog::read_field(Field field) {
  const std::string text = front_end_.control_text(field == Field::first ? IDC_FIRST_PATH : IDC_SECOND_PATH);
  if (text.size() >= path_buffer_size) return FieldRead::too_long;
  std::memcpy(buffer(field), text.c_str(), text.size() + 1);
  return text.empty() ? FieldRead::empty : FieldRead::filled;
}

const char* ToolDialog::path(Field field) const { return field == Field::first ? first_path_ : second_path_; }

void ToolDialog::set_status(const char* text) { front_end_.set_control_text(IDC_STATUS, text); }

char* ToolDialog::buffer(Field field) { return field == Field::first ? first_path_ : second_path_; }
