// A job run as the dialog runs it: the test types the two fields, and the real ToolDialog reads
// them into its path buffers, runs the job with its defaults and shows how it ended, through a
// scripted front end that records every status. A test can tell "Done" from a status that was never
// set.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "dialog/dialog_template.h"
#include "dialog/tool_dialog.h"
#include "job/job.h"
#include "programs/programs.h"
#include "testing/scripted_front_end.h"

class ScriptedFrame final {
 public:
  ScriptedFrame(std::string first, std::string second) {
    front_end_.texts[IDC_FIRST_PATH] = std::move(first);
    front_end_.texts[IDC_SECOND_PATH] = std::move(second);
  }

  // Presses Generate on a dialog whose job is `job`.
  void run(DialogJob job) {
    ToolDialog dialog{all_programs[0], job, front_end_};
    dialog.procedure(dialog_message::command, IDC_GENERATE);
  }

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
  ScriptedFrontEnd front_end_;
};
