// A job run as the dialog runs it: the test types the two fields, and the real ToolDialog reads
// them into its path buffers and shows the statuses the job sets, through a scripted front end
// that records them. A test can tell "Done" from a status that was never set.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "dialog/dialog_template.h"
#include "job/job_frame.h"
#include "programs/programs.h"
#include "dialog/tool_dialog.h"
#include "testing/scripted_front_end.h"

class ScriptedFrame final : public JobFrame {
 public:
  ScriptedFrame(std::string first, std::string second) {
    front_end_.texts[IDC_FIRST_PATH] = std::move(first);
    front_end_.texts[IDC_SECOND_PATH] = std::move(second);
  }

  FieldRead read_field(Field field) override { return dialog_.read_field(field); }
  const char* path(Field field) const override { return dialog_.path(field); }
  void set_status(const char* text) override { dialog_.set_status(text); }

  // The status line as the user would see it; "Ready" until a job sets it.
  std::string status() const { return front_end_.texts.at(IDC_STATUS); }
  const std::vector<std::string>& statuses() const {
    static const std::vector<std::string> none;
    const auto set = front_end_.sets.find(IDC_STATUS);
    return set == front_end_.sets.end() ? none : set->second;
  }
  int reads(Field field) const {
    const auto read = front_end_.reads.find(field == Field::first ? IDC_FIRST_PATH : IDC_SECOND_PATH);
    return read == front_end_.reads.end() ? 0 : read->second;
  }

 private:
  static void no_job(JobFrame&) {}

  ScriptedFrontEnd front_end_;
  // The job under test is called with this frame; the dialog's own Generate is not used.
  ToolDialog dialog_{all_programs[0], &no_job, front_end_};
};
