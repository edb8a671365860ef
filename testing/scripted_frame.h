// A JobFrame driven by a test: the fields hold what the test typed, and every status the job sets
// is recorded, so that a test can tell "Done" from a status that was never set.
#pragma once

#include <string>
#include <vector>

#include "frame/job_frame.h"

class ScriptedFrame final : public JobFrame {
 public:
  ScriptedFrame(std::string first, std::string second) : fields_{std::move(first), std::move(second)} {}

  FieldRead read_field(Field field) override {
    const std::string& text = fields_[index(field)];
    ++reads_[index(field)];
    if (text.size() >= path_buffer_size) return FieldRead::too_long;
    buffers_[index(field)] = text;
    return text.empty() ? FieldRead::empty : FieldRead::filled;
  }
  const char* path(Field field) const override { return buffers_[index(field)].c_str(); }
  void set_status(const char* text) override { statuses_.emplace_back(text); }

  // The status line as the user would see it; "Ready" until a job sets it.
  std::string status() const { return statuses_.empty() ? "Ready" : statuses_.back(); }
  const std::vector<std::string>& statuses() const { return statuses_; }
  int reads(Field field) const { return reads_[index(field)]; }

 private:
  static int index(Field field) { return field == Field::first ? 0 : 1; }

  std::string fields_[2];
  std::string buffers_[2];
  int reads_[2] = {0, 0};
  std::vector<std::string> statuses_;
};
